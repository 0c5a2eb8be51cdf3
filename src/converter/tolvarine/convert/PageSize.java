package tolvarine.convert;

import java.math.BigDecimal;
import java.math.MathContext;
import java.util.Locale;
import org.w3c.dom.Element;

/** The page's size: the drawing's own, and the sides PDF readers accept. */
final class PageSize {
  // CSS pixels: 96 per inch, the unit of an SVG drawing without units.
  static final double kPixelsPerInch = 96.0;
  // The page sides PDF readers accept, in points.
  private static final double kSmallestSide = 1.0;
  private static final double kLargestSide = 14400.0;

  private PageSize() {}

  // A page side out of range, found when the drawing's proportions give it.
  static final class PageSideError extends RuntimeException {
    private static final long serialVersionUID = 1L;

    PageSideError(String message) {
      super(message);
    }
  }

  // Why a side of so many pixels is no page side, or null when it is one.
  static String RefusedSide(double pixels) {
    double points = pixels * 72.0 / kPixelsPerInch;
    // A hair of tolerance, so that 1pt and 200in, converted through pixels, stay inside.
    if (points >= kSmallestSide * (1 - 1e-6) && points <= kLargestSide * (1 + 1e-6)) return null;
    String shown = points >= 0.01 && points < 1e6
        ? new BigDecimal(points).round(new MathContext(3)).stripTrailingZeros().toPlainString()
        : String.format(Locale.ROOT, "%.3g", points);
    return String.format(Locale.ROOT, "%s pt; a side must be from %.0f pt to %.0f pt", shown,
        kSmallestSide, kLargestSide);
  }

  // A drawing with a viewBox and without width and height takes the viewBox's size in pixels,
  // as browsers and other converters do, instead of a fixed square.
  static void GiveViewBoxDrawingsTheirSize(Element root) {
    String[] box = root.getAttribute("viewBox").trim().split("[\\s,]+");
    if (box.length != 4) return;
    double box_width;
    double box_height;
    try {
      box_width = Double.parseDouble(box[2]);
      box_height = Double.parseDouble(box[3]);
    } catch (NumberFormatException e) {
      return;  // Batik reports the malformed viewBox itself.
    }
    if (!(box_width > 0 && box_height > 0)) return;
    boolean has_width = !root.getAttribute("width").isEmpty();
    boolean has_height = !root.getAttribute("height").isEmpty();
    if (!has_width && !has_height) {
      root.setAttribute("width", Double.toString(box_width));
      root.setAttribute("height", Double.toString(box_height));
    } else if (has_width != has_height) {
      Double given = PlainPixels(root.getAttribute(has_width ? "width" : "height"));
      if (given == null) return;
      if (has_width) root.setAttribute("height", Double.toString(given * box_height / box_width));
      else root.setAttribute("width", Double.toString(given * box_width / box_height));
    }
  }

  private static Double PlainPixels(String text) {
    String t = text.trim();
    if (t.endsWith("px")) t = t.substring(0, t.length() - 2);
    try {
      return Double.parseDouble(t);
    } catch (NumberFormatException e) {
      return null;
    }
  }
}
