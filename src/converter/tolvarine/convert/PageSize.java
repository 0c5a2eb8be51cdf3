package tolvarine.convert;

import java.awt.Color;
import java.awt.geom.AffineTransform;
import java.awt.geom.Rectangle2D;
import java.io.IOException;
import java.io.OutputStream;
import java.math.BigDecimal;
import java.math.MathContext;
import java.util.Locale;
import org.apache.batik.bridge.Bridge;
import org.apache.batik.bridge.BridgeContext;
import org.apache.batik.bridge.SVGSVGElementBridge;
import org.apache.batik.gvt.CompositeGraphicsNode;
import org.apache.batik.gvt.GraphicsNode;
import org.apache.fop.pdf.PDFDocument;
import org.apache.fop.pdf.PDFNumber;
import org.apache.fop.pdf.PDFPage;
import org.apache.fop.svg.PDFDocumentGraphics2D;
import org.w3c.dom.Document;
import org.w3c.dom.Element;

/** The page's size: the drawing's own, and the sides PDF readers accept. */
final class PageSize {
  // CSS pixels: 96 per inch, the unit of an SVG drawing without units.
  static final double kPixelsPerInch = 96.0;
  // The page sides PDF readers accept, in points.
  private static final double kSmallestSide = 1.0;
  private static final double kLargestSide = 14400.0;
  private static final String[] kUnits = {"px", "pt", "pc", "mm", "cm", "in"};

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

  // The size rsvg-convert gives a drawing, so that both make the same page: a width or height
  // that is missing, "auto" or a percentage comes from the viewBox, the other side keeping its
  // proportions. The root is given the result in pixels.
  static void GiveDrawingItsSize(Element root) {
    double[] size = DrawingSize(root.getAttribute("width"), root.getAttribute("height"),
        root.getAttribute("viewBox"));
    if (size == null) return;
    root.setAttribute("width", Double.toString(size[0]));
    root.setAttribute("height", Double.toString(size[1]));
  }

  /**
   * rsvg-convert gives a drawing with neither a viewBox nor both a width and a height a page as
   * wide and high as what it paints, strokes included, with the drawing's origin in the page's
   * corner. The root is given a viewBox of that size, which the page then shows; null where
   * the drawing has a size of its own or paints nothing.
   */
  static float[] PaintedSize(Element root, GraphicsNode drawing) {
    if (drawing == null || !root.getAttribute("viewBox").isBlank()) return null;
    if (Given(root.getAttribute("width")) && Given(root.getAttribute("height"))) return null;
    // What the children paint, not cut to the root's viewport, which has no size to cut to.
    Rectangle2D painted = null;
    for (Object child : ((CompositeGraphicsNode) drawing).getChildren()) {
      Rectangle2D bounds = ((GraphicsNode) child).getTransformedBounds(new AffineTransform());
      if (bounds == null) continue;
      if (painted == null) painted = bounds;
      else painted.add(bounds);
    }
    if (painted == null || painted.isEmpty()) return null;
    root.setAttribute("viewBox", "0 0 " + painted.getWidth() + " " + painted.getHeight());
    return new float[] {(float) painted.getWidth(), (float) painted.getHeight()};
  }

  private static boolean Given(String side) {
    side = side.trim();
    return !side.isEmpty() && !side.equals("auto") && !side.endsWith("%");
  }

  /** Batik's bridge for svg elements, which keeps the graphics node it makes of the root. */
  static final class KeptRoot extends SVGSVGElementBridge {
    private final GraphicsNode[] root;

    KeptRoot(GraphicsNode[] root) {
      this.root = root;
    }

    @Override
    public Bridge getInstance() {
      return new KeptRoot(root);
    }

    @Override
    public void buildGraphicsNode(BridgeContext context, Element element, GraphicsNode node) {
      super.buildGraphicsNode(context, element, node);
      if (element.getParentNode() instanceof Document) root[0] = node;
    }
  }

  /**
   * Width and height in pixels from the root's width, height and viewBox as written; null
   * where they give none, or in units that depend on the text (em, ex), which Batik resolves.
   */
  static double[] DrawingSize(String width_text, String height_text, String view_box) {
    double[] box = ViewBoxSize(view_box);
    double width = Pixels(width_text);
    double height = Pixels(height_text);
    if (Double.isNaN(width) || Double.isNaN(height)) return null;
    if (width > 0 && height > 0) return new double[] {width, height};
    if (box == null) return null;
    if (width > 0) return new double[] {width, width * box[1] / box[0]};
    if (height > 0) return new double[] {height * box[0] / box[1], height};
    return box;
  }

  private static double[] ViewBoxSize(String text) {
    String[] box = text.trim().split("[\\s,]+");
    if (box.length != 4) return null;
    try {
      double width = Double.parseDouble(box[2]);
      double height = Double.parseDouble(box[3]);
      return width > 0 && height > 0 ? new double[] {width, height} : null;
    } catch (NumberFormatException e) {
      return null;  // Batik reports the malformed viewBox itself.
    }
  }

  // A length in pixels; 0 where it leaves the size to the viewBox (missing, auto, a
  // percentage of a window a file does not have, a value that is no size), NaN where it
  // depends on the text (em, ex).
  private static double Pixels(String text) {
    String t = text.trim().toLowerCase(Locale.ROOT);
    if (t.endsWith("em") || t.endsWith("ex")) return Double.NaN;
    double per_unit = 1;
    double[] pixels = {1, kPixelsPerInch / 72, kPixelsPerInch / 6, kPixelsPerInch / 25.4,
        kPixelsPerInch / 2.54, kPixelsPerInch};
    for (int i = 0; i < pixels.length; ++i) {
      if (t.endsWith(kUnits[i])) {
        t = t.substring(0, t.length() - 2);
        per_unit = pixels[i];
        break;
      }
    }
    try {
      double value = Double.parseDouble(t) * per_unit;
      return value > 0 && !Double.isInfinite(value) ? value : 0;
    } catch (NumberFormatException e) {
      return 0;
    }
  }

  /**
   * FOP's PDF page with the drawing's size exact: FOP rounds the page to whole points (460.8 x
   * 345.6 pt would become 461 x 346) and stretches the drawing over it. The rounded page's
   * size and transform are replaced with the exact ones once it starts.
   */
  static final class ExactPage extends PDFDocumentGraphics2D {
    private int rounded_width;
    private int rounded_height;
    private float drawing_width;  // pixels
    private float drawing_height;

    // Takes the place of FOP's own, with its producer, compression and fonts.
    ExactPage(PDFDocumentGraphics2D replaced, boolean text_as_shapes) {
      super(text_as_shapes);
      PDFDocument from = replaced.getPDFDocument();
      getPDFDocument().getInfo().setProducer(from.getInfo().getProducer());
      getPDFDocument().setFilterMap(from.getFilterMap());
      setFontInfo(replaced.getFontInfo());
    }

    @Override
    public void setupDocument(OutputStream stream, int width, int height) throws IOException {
      rounded_width = width;
      rounded_height = height;
      super.setupDocument(stream, width, height);
    }

    @Override
    public void setSVGDimension(float width, float height) {
      drawing_width = width;
      drawing_height = height;
      super.setSVGDimension(width, height);
    }

    private double PointsWide() {
      return drawing_width * 72 / kPixelsPerInch;
    }

    private double PointsHigh() {
      return drawing_height * 72 / kPixelsPerInch;
    }

    @Override
    public void setBackgroundColor(Color colour) {
      StringBuffer fill = new StringBuffer("q\n");
      colorHandler.establishColor(fill, colour, true, true);
      currentStream.write(fill + "0 0 " + PDFNumber.doubleOut(PointsWide()) + " "
          + PDFNumber.doubleOut(PointsHigh()) + " re\nf\nQ\n");
    }

    @Override
    protected void startPage() throws IOException {
      super.startPage();
      if (drawing_width <= 0 || drawing_height <= 0) return;
      Rectangle2D box = new Rectangle2D.Double(0, 0, PointsWide(), PointsHigh());
      PDFPage page = (PDFPage) resourceContext;
      page.setMediaBox(box);
      page.setCropBox(box);
      page.setBleedBox(box);
      page.setTrimBox(box);
      // From the rounded page's transform (flipped, the drawing stretched over the page) to
      // the exact one.
      AffineTransform correction = Flipped(rounded_width, rounded_height);
      try {
        correction.invert();
      } catch (java.awt.geom.NoninvertibleTransformException e) {
        return;  // A page of no size: refused before it is written.
      }
      correction.concatenate(Flipped(PointsWide(), PointsHigh()));
      double[] m = new double[6];
      correction.getMatrix(m);
      StringBuilder operator = new StringBuilder();
      for (double value : m) operator.append(PDFNumber.doubleOut(value, 8)).append(' ');
      currentStream.write(operator.append("cm\n").toString());
      paintingState.concatenate(correction);
    }

    private AffineTransform Flipped(double width, double height) {
      AffineTransform flipped = new AffineTransform(1, 0, 0, -1, 0, height);
      flipped.scale(width / drawing_width, height / drawing_height);
      return flipped;
    }
  }
}
