# Writes a few of R's own data sets as delimited tables for the importer's tests. Run once
# from the repository's top folder with `Rscript tests/tables/make_tables.R`; the tables are
# kept in the repository, so neither the build nor the tests need R.
out <- "tests/tables"
write.csv(iris, file.path(out, "iris.csv"), row.names = FALSE)
write.csv(airquality, file.path(out, "airquality.csv"), row.names = FALSE)
# The car models are the row names: a column of 32 names, more than a nominal feature may
# hold except as one of the last two.
write.csv(cbind(model = rownames(mtcars), mtcars), file.path(out, "mtcars.csv"),
          row.names = FALSE)
write.csv(quakes, file.path(out, "quakes.csv"), row.names = FALSE)
# Semicolons and decimal commas, as spreadsheets write tables in many countries.
write.csv2(ToothGrowth, file.path(out, "toothgrowth.csv"), row.names = FALSE)
write.table(warpbreaks, file.path(out, "warpbreaks.tsv"), sep = "\t", quote = FALSE,
            row.names = FALSE)
