// The converter's pure routines against their tables, the routine chosen by the table's name.
// Each row is "input cells | expected"; "# " starts a note. Prints each wrong row; exits 1 if
// any. colours.txt: "colour | rgb(r,g,b) | alpha" or "colour | invalid"; page-sizes.txt:
// "width | height | viewBox | W x H" in points, or "none" where Batik's own size stands;
// path-data.txt: "data | the part drawn" or "whole";
// fonts.txt: installed faces, "family | full name", then "family | weight | style | stretch |
// face".
package tolvarine.convert;

import java.math.BigDecimal;
import java.math.MathContext;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;

public final class Tables {
  public static void main(String[] args) throws Exception {
    boolean colours = args[0].endsWith("colours.txt");
    boolean paths = args[0].endsWith("path-data.txt");
    boolean fonts = args[0].endsWith("fonts.txt");
    int rows = 0;
    int wrong = 0;
    for (String line : Files.readAllLines(Paths.get(args[0]), StandardCharsets.UTF_8)) {
      if (line.isBlank() || line.startsWith("# ")) continue;  // "#f00" is a row
      String[] cells = line.split("\\|", -1);
      for (int i = 0; i < cells.length; ++i) cells[i] = cells[i].trim();
      if (fonts && cells.length == 2) {
        faces.computeIfAbsent(cells[0], f -> new ArrayList<>())
            .add(FontChoice.FromName(cells[1], cells[0], cells[1]));
        continue;
      }
      String got = colours ? Colour(cells[0]) : paths ? Drawn(cells[0]) : fonts ? Face(cells)
          : PageSize(cells);
      String expected = colours && cells.length > 2
          ? cells[1].trim() + String.format(Locale.ROOT, " %.3f", Double.parseDouble(cells[2]))
          : cells[cells.length - 1].trim();
      ++rows;
      if (got.equals(expected)) continue;
      System.out.println("FAILED: " + line + ": got " + got + ", expected " + expected);
      ++wrong;
    }
    System.out.println(rows + " rows, " + wrong + " wrong");
    System.exit(wrong == 0 && rows > 0 ? 0 : 1);
  }

  private static final Map<String, List<FontChoice.Face>> faces = new HashMap<>();
  private static final List<String> kStretches = List.of("ultra-condensed", "extra-condensed",
      "condensed", "semi-condensed", "normal", "semi-expanded", "expanded", "extra-expanded");

  private static String Face(String[] cells) {
    String family = FontChoice.Family(cells[0], faces.keySet());
    FontChoice.Face face = family == null ? null : FontChoice.Choose(faces.get(family),
        Integer.parseInt(cells[1]), cells[2], kStretches.indexOf(cells[3]) + 1);
    return face == null ? "none" : face.key;
  }

  private static String Colour(String text) {
    Colours.Colour colour = Colours.Parse(text);
    return colour == null ? "invalid"
        : colour.Rgb() + " " + String.format(Locale.ROOT, "%.3f", colour.alpha);
  }

  private static String Drawn(String data) {
    boolean points = data.startsWith("points:");
    if (points) data = data.substring("points:".length());
    int valid = points ? PathData.ValidPoints(data) : PathData.ValidPath(data);
    return valid < 0 ? "whole" : data.substring(0, valid).trim();
  }

  private static String PageSize(String[] cells) {
    double[] size = PageSize.DrawingSize(cells[0], cells[1], cells[2]);
    if (size == null) return "none";
    return Points(size[0]) + " x " + Points(size[1]);
  }

  // As pdfinfo shows a page side: six significant digits.
  private static String Points(double pixels) {
    return new BigDecimal(pixels * 72 / PageSize.kPixelsPerInch).round(new MathContext(6))
        .stripTrailingZeros().toPlainString();
  }
}
