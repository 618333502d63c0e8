// The gprof-to-Graphviz converter on real `gprof -b` output:
// fixtures/gprof_main_llist.txt from a run of the program, and
// fixtures/gprof_cycle.txt from a small -pg program with two mutually
// recursive functions (a cycle), a self-recursive one and one that takes no
// samples.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string slurp(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The DOT the converter writes for a fixture; "" when it fails.
std::string converted(const std::string &fixture)
{
    std::string out = testing::TempDir() + "gprof_dot_test.dot";
    std::string command = std::string(GPROF_DOT_PATH) + " " + FIXTURES "/" + fixture + " " + out;
    if (std::system(command.c_str()) != 0)
        return "";
    return slurp(out);
}

bool has(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

TEST(gprof_dot, DrawsTheProgramsCallGraph)
{
    std::string dot = converted("gprof_main_llist.txt");
    ASSERT_NE(dot, "");
    EXPECT_TRUE(has(dot, "f2 [label=\"BST_insert\\n65.2 % (65.2 %)\\n1000000 calls\", fillcolor=\"0.127 "));
    EXPECT_TRUE(has(dot, "f1 [label=\"main\\n92.7 % (9.5 %)\", "));                // <spontaneous> caller
    EXPECT_TRUE(has(dot, "f1 -> f2 [label=\"1000000×\""));
    EXPECT_TRUE(has(dot, "f4 -> f8 [label=\"999999×\""));                         // find_data -> compare1
    EXPECT_TRUE(has(dot, "f9 [label=\"create_bst_tree\\n0.0 % (0.0 %)\\n1 call\"")); // no samples
    EXPECT_TRUE(has(dot, "(anonymous namespace)::refill(int_reader*)"));
    EXPECT_FALSE(has(dot, "spontaneous"));
}

TEST(gprof_dot, CopesWithCyclesAndRecursion)
{
    std::string dot = converted("gprof_cycle.txt");
    ASSERT_NE(dot, "");
    EXPECT_TRUE(has(dot, "f5 [label=\"is_odd <cycle 1>\\n44.7 % (0.0 %)\\n153000 calls\""));
    EXPECT_TRUE(has(dot, "f4 -> f5 [label=\"150000×\""));  // within the cycle: no times
    EXPECT_TRUE(has(dot, "f6 [label=\"fact\\n10.5 % (0.0 %)\\n3000+33000 calls\""));
    EXPECT_TRUE(has(dot, "f6 -> f6 [label=\"33000×\""));
    EXPECT_TRUE(has(dot, "f7 [label=\"idle\\n0.0 % (0.0 %)\\n3000 calls\""));
    EXPECT_FALSE(has(dot, "as a whole"));
    EXPECT_EQ(converted("../gprof_dot_test.cpp"), ""); // not a profile
}

} // namespace
