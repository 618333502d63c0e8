# The depth histogram of tree_shape --svg, as an SVG on stdout:
#
#   gnuplot -c depth_chart.gp TITLE BAND_WIDTH LAST_DEPTH 'DEPTH NODES DEPTH NODES ...'
#
# TITLE holds text from the user (a file's name): it is only ever used as a
# string value, never read as a command.
set terminal svg size 800,450 dynamic noenhanced font 'Helvetica,12' background rgb 'white'
set title ARG1
set xlabel (ARG2 eq '1' ? 'depth (the root is 1)' : 'depth, in bands of '.ARG2)
set ylabel 'nodes (log scale)'
set logscale y
set style fill solid 0.8 border rgb '#1f4e79'
set boxwidth 0.9 relative
set grid ytics
set key off
set yrange [0.8:*]
set xrange [0:ARG3 + 0]
set print $depths
do for [i = 1:words(ARG4):2] {
    print word(ARG4, i).' '.word(ARG4, i + 1)
}
unset print
plot $depths using 1:2 with boxes lc rgb '#4f81bd'
