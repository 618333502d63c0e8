# bench_containers' results as one chart, an SVG on stdout: for each
# operation, the time per operation against n, ours beside the standard
# library's, on log scales.
#
#   gnuplot -c chart.gp COLUMNS
#
# COLUMNS holds the rows "NAME N NANOSECONDS" of chart_columns.jq.
set terminal svg size 1200,900 dynamic noenhanced font 'Helvetica,12' background rgb 'white'
set logscale xy
set xtics ('n = 10^3' 1e3, '10^4' 1e4, '10^5' 1e5, '10^6' 1e6)
set xrange [500:2000000]
set grid xtics ytics mytics
set key below box samplen 3 maxcols 1 width -2
set ylabel 'ns per operation'
array titles[6] = ['insert n random keys', 'search for each of n keys', 'delete n keys in random order', \
                   'n insertions at the head', 'one search through n nodes', 'read a file of n ints']
array ours[6] = ['BM_BST_insert', 'BM_search_bst', 'BM_BST_delete', 'BM_add_node_at_head', 'BM_find_data', \
                 'BM_int_reader']
array our_labels[6] = ['BST_insert', 'search_bst', 'BST_delete', 'add_node_at 0', 'find_data', 'int_reader_next']
array standard[6] = ['BM_multiset_insert', 'BM_multiset_find', 'BM_multiset_erase', 'BM_forward_list_push_front', \
                     'BM_forward_list_find_if', 'BM_fscanf']
array standard_labels[6] = ['std::multiset::insert', 'std::multiset::find', 'std::multiset::erase of one', \
                            'std::forward_list::push_front', 'std::find_if on std::forward_list', 'fscanf("%d")']
set multiplot layout 2,3 title 'Each operation, ours against the standard library (bench_containers, median of the runs)'
do for [i = 1:6] {
    set title titles[i]
    found = 0
    stats ARG1 using (found = found + (strcol(1) eq ours[i] || strcol(1) eq standard[i]), $2) nooutput
    if (found == 0) { set multiplot next; continue }
    plot ARG1 using 2:(strcol(1) eq ours[i] ? $3 : NaN) with linespoints lw 2 pt 7 lc rgb '#1f77b4' \
             title our_labels[i], \
         ARG1 using 2:(strcol(1) eq standard[i] ? $3 : NaN) with linespoints lw 2 pt 5 dt 2 lc rgb '#ff7f0e' \
             title standard_labels[i]
}
unset multiplot
