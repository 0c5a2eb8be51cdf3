# Clustered histogram with fill patterns, inline data and Greek letters in enhanced text.
set terminal svg size 640,420 enhanced font "Helvetica,11"
$data << EOD
year  alpha beta gamma
2019  12    8    5
2020  15    9    7
2021  11    14   9
2022  17    13   12
EOD
set style data histograms
set style histogram clustered gap 1
set style fill pattern border -1
set title "Releases by branch ({/Symbol a}, {/Symbol b}, {/Symbol g})"
set yrange [0:*]
set key outside
plot $data using 2:xtic(1) title col, '' using 3 title col, '' using 4 title col
