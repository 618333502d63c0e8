// The keys of make_sample's sample files, in the orders that matter to the
// unbalanced tree:
//   random         uniform over the whole int range
//   ascending      strictly ascending random keys
//   descending     the same, in descending order
//   repeated       one random key COUNT times
//   nearly-sorted  ascending, with COUNT / 100 entries each swapped with a
//                  random other entry
// The same seed gives the same keys.
#ifndef SAMPLE_KEYS_H
#define SAMPLE_KEYS_H

#include <cstddef>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

extern const char *const sample_orders[5]; // as the command line names them

bool is_sample_order(const std::string &order);

// Writes count keys in order, one per line, to out, drawn from rng. Random
// and repeated keys are written as they are drawn; the sorted orders hold
// all their keys at once, and throw std::bad_alloc when memory runs out.
// Stops early once out has an error.
void write_sample_keys(std::FILE *out, const std::string &order, std::size_t count, std::mt19937_64 &rng);

#endif
