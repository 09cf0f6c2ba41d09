# Plots an adjustment session's results: every accepted setting (grey
# dots, per condition) and each condition's mean with its 95% confidence
# interval (black), from the summary lines at the end of the file.
#
#   gnuplot -e "results='s1-results.csv'" scripts/plot-settings.gp
#
# writes s1-results.png beside it (or -e "output='plot.png'").
if (!exists("results")) results = "results.csv"
if (!exists("output")) output = results[1:strlen(results) - 4] . ".png"
set terminal png size 800,500
set output output
set datafile separator "\t"  # what the awk lines below give
set title "Settings per condition: " . results noenhanced
set ylabel "setting"
set xlabel "condition"
set key outside top center horizontal
set offsets 0.5, 0.5, 0, 0
set xtics noenhanced
# The conditions, numbered in the order of the summary lines; each setting
# placed at its condition's number, spread a little so equal ones show.
summary = sprintf("< awk -F, -v OFS='\\t' '$1 == \"# summary\" && $2 != \"condition\" { print n++, $4, $6, $7, ($2 == \"\" ? \"all\" : $2) }' '%s'", results)
settings = sprintf("< awk -F, -v OFS='\\t' 'NR == FNR { if ($1 == \"# summary\" && $2 != \"condition\") k[$2] = n++; next } /^[0-9]/ { srand(FNR); print k[$3] + (rand() - 0.5) * 0.3, $5 }' '%s' '%s'", results, results)
plot settings using 1:2 with points pt 7 ps 1.2 lc rgb "#909090" title "settings", \
     summary using 1:2:3:4:xtic(5) with yerrorbars pt 5 ps 1.4 lw 2 lc rgb "black" title "mean, 95% CI"
