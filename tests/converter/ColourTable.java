// The converter's colour parser against a table: each row is "input | rgb(r,g,b) | alpha" or
// "input | invalid"; "# " starts a note. Prints each wrong row; exits 1 if any.
package tolvarine.convert;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;

public final class ColourTable {
  public static void main(String[] args) throws Exception {
    int rows = 0;
    int wrong = 0;
    for (String line : Files.readAllLines(Paths.get(args[0]), StandardCharsets.UTF_8)) {
      if (line.isBlank() || line.startsWith("# ")) continue;  // "#f00" is a row
      String[] cells = line.split("\\|");
      Colours.Colour colour = Colours.Parse(cells[0].trim());
      String got = colour == null ? "invalid"
          : colour.Rgb() + " " + String.format(java.util.Locale.ROOT, "%.3f", colour.alpha);
      String expected = cells[1].trim() + (cells.length > 2
          ? String.format(java.util.Locale.ROOT, " %.3f", Double.parseDouble(cells[2])) : "");
      ++rows;
      if (got.equals(expected)) continue;
      System.out.println("FAILED: " + cells[0].trim() + ": got " + got + ", expected " + expected);
      ++wrong;
    }
    System.out.println(rows + " rows, " + wrong + " wrong");
    System.exit(wrong == 0 && rows > 0 ? 0 : 1);
  }
}
