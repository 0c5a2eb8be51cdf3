package tolvarine.convert;

import java.math.BigDecimal;
import java.util.Set;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.apache.batik.anim.dom.SAXSVGDocumentFactory;
import org.apache.batik.anim.dom.SVGDOMImplementation;
import org.apache.batik.css.engine.CSSContext;
import org.apache.batik.css.engine.CSSEngine;
import org.apache.batik.css.engine.value.ShorthandManager;
import org.apache.batik.css.engine.value.ValueManager;
import org.apache.batik.css.parser.ExtendedParser;
import org.apache.batik.dom.AbstractDocument;
import org.apache.batik.dom.AbstractStylableDocument;
import org.apache.batik.dom.GenericElementNS;
import org.apache.batik.transcoder.ErrorHandler;
import org.apache.batik.util.XMLResourceDescriptor;
import org.w3c.dom.Attr;
import org.w3c.dom.DOMException;
import org.w3c.dom.DOMImplementation;
import org.w3c.dom.Element;
import org.w3c.dom.NamedNodeMap;
import org.w3c.dom.Node;
import org.w3c.dom.svg.SVGDocument;

/**
 * What real programs write and Batik refuses or misdraws, made what other converters draw,
 * in one walk before Batik's bridge sees the drawing.
 */
final class Leniency {
  // The shapes that cannot be drawn without each of their sizes, nor with a negative one.
  private static final String[][] kSizes = {
      {"rect", "width", "height"}, {"circle", "r"}, {"ellipse", "rx", "ry"}};
  private static final String kSvg = SVGDOMImplementation.SVG_NAMESPACE_URI;
  private static final String kXLink = "http://www.w3.org/1999/xlink";
  // What a mask or clip path draws with, unless hidden; containers draw what their children do.
  private static final Set<String> kShapes = Set.of("rect", "circle", "ellipse", "line",
      "polyline", "polygon", "path", "text", "use", "image");
  private static final Set<String> kContainers = Set.of("g", "switch", "a", "svg");
  private static final Pattern kOffset =
      Pattern.compile("\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?%?\\s*");
  // A number in exponent form, not part of a name or a #colour.
  private static final Pattern kAddress = Pattern.compile("url\\([^)]*\\)");
  private static final Pattern kExponent =
      Pattern.compile("(?<![\\w#.])[+-]?(\\d+\\.?\\d*|\\.\\d+)[eE][+-]?\\d+");

  private Leniency() {}

  /**
   * A parser of drawings that keeps an SVG element Batik does not know (feDropShadow, a newer
   * version's) as a plain element, which the walk then leaves out with a warning, where Batik
   * would refuse the whole drawing.
   */
  static SAXSVGDocumentFactory DrawingParser() {
    DOMImplementation keeping_unknown = new SVGDOMImplementation() {
      @Override
      public Element createElementNS(AbstractDocument document, String space, String name) {
        try {
          return super.createElementNS(document, space, name);
        } catch (DOMException e) {
          return new GenericElementNS(space, name, document);
        }
      }

      // Batik's own, which finds its user agent's style sheet beside its class (a pattern's
      // and a marker's content is clipped to them by that sheet).
      @Override
      public CSSEngine createCSSEngine(AbstractStylableDocument document, CSSContext context,
          ExtendedParser parser, ValueManager[] values, ShorthandManager[] shorthands) {
        return ((SVGDOMImplementation) SVGDOMImplementation.getDOMImplementation())
            .createCSSEngine(document, context, parser, values, shorthands);
      }
    };
    return new SAXSVGDocumentFactory(XMLResourceDescriptor.getXMLParserClassName(), true) {
      @Override
      public DOMImplementation getDOMImplementation(String version) {
        return keeping_unknown;
      }
    };
  }

  // An image that cannot be read draws nothing, with a warning.
  static SVGDocument BrokenImage(Element image, String url, ErrorHandler report) {
    if (report instanceof Messages.Report) ((Messages.Report) report).Unreadable(image, url);
    return (SVGDocument) SVGDOMImplementation.getDOMImplementation().createDocument(kSvg, "svg",
        null);
  }

  // The same walk rewrites the colours Batik would refuse, so the drawing is walked once.
  static void Prepare(Element root, Messages.Report report) {
    // Text with no font named is set as browsers and rsvg-convert set it, not in Batik's Arial.
    Colours.Declarations style = Colours.Declarations.Parse(root.getAttribute("style"));
    if (!root.hasAttribute("font-family") && (style == null || style.Get("font-family") == null)) {
      root.setAttribute("font-family", "Times New Roman, serif");
    }
    References references = new References(report);
    Walk(root, Colours.Opaque(), references, report);
    references.Resolve(root);
  }

  private static void Walk(Element element, double[] colours, References references,
      Messages.Report report) {
    String name = element.getLocalName();
    boolean is_switch = "switch".equals(name);
    references.Note(element);
    PlainNumbers(element);
    DrawableData(element, name, report);
    double[] inherited = Colours.Rewrite(element, colours);
    Node child = element.getFirstChild();
    while (child != null) {
      Node next = child.getNextSibling();
      if (child instanceof Element) {
        // The converter cannot draw HTML: a switch takes the next child that qualifies (a
        // diagram's label falls back to its text).
        if (is_switch && "foreignObject".equals(child.getLocalName())) {
          element.removeChild(child);
        } else if (!Drawable((Element) child, report)) {
          element.removeChild(child);
        } else {
          Walk((Element) child, inherited, references, report);
        }
      }
      child = next;
    }
    // Content that draws nothing hides what the mask or clip path is applied to; Batik would
    // leave it whole. A path of no area is content that draws nothing, to Batik too.
    if (("mask".equals(name) || "clipPath".equals(name)) && DrawsNothing(element)) {
      Element nothing = element.getOwnerDocument().createElementNS(kSvg, "path");
      nothing.setAttribute("d", "M0 0");
      element.appendChild(nothing);
    }
  }

  private static boolean DrawsNothing(Element element) {
    for (Node child = element.getFirstChild(); child != null; child = child.getNextSibling()) {
      if (!(child instanceof Element) || Hidden((Element) child)) continue;
      String name = child.getLocalName();
      if (kShapes.contains(name)) return false;
      if (kContainers.contains(name) && !DrawsNothing((Element) child)) return false;
    }
    return true;
  }

  private static boolean Hidden(Element element) {
    if ("none".equals(element.getAttribute("display").trim())) return true;
    Colours.Declarations style = Colours.Declarations.Parse(element.getAttribute("style"));
    return style != null && style.Get("display") != null && "none".equals(
        style.Get("display").trim());
  }

  // Path data and points are drawn up to their first error; a gradient's stop without a valid
  // offset is at 0.
  private static void DrawableData(Element element, String name, Messages.Report report) {
    if ("path".equals(name)) {
      Shorten(element, "d", PathData.ValidPath(element.getAttribute("d")), report);
    } else if ("polyline".equals(name) || "polygon".equals(name)) {
      Shorten(element, "points", PathData.ValidPoints(element.getAttribute("points")), report);
    } else if ("stop".equals(name)) {
      String offset = element.getAttribute("offset");
      if (kOffset.matcher(offset).matches()) return;
      if (!offset.isEmpty()) report.Warn(element, "offset=\"" + offset + "\" is no offset; 0");
      element.setAttribute("offset", "0");
    }
  }

  private static void Shorten(Element element, String attribute, int valid,
      Messages.Report report) {
    if (valid < 0) return;
    String value = element.getAttribute(attribute);
    report.Warn(element, attribute + "=\"" + value + "\" has an error at \"" + Excerpt(value,
        valid) + "\"; drawn up to it");
    element.setAttribute(attribute, value.substring(0, valid));
  }

  private static String Excerpt(String value, int at) {
    String rest = value.substring(at).trim();
    return rest.length() <= 12 ? rest : rest.substring(0, 12) + "...";
  }

  // Whether the element has what it needs to be drawn; one warning where it has not.
  private static boolean Drawable(Element element, Messages.Report report) {
    String name = element.getLocalName();
    if (element instanceof GenericElementNS && kSvg.equals(element.getNamespaceURI())) {
      report.Warn(element, "<" + name + "> is not an SVG element the converter knows; ignored");
      return false;
    }
    if ("use".equals(name) && !element.hasAttributeNS(kXLink, "href")) {
      report.Warn(element, "<use> has no href; not drawn");
      return false;
    }
    if ("image".equals(name) && !element.hasAttribute("href")
        && !element.hasAttributeNS(kXLink, "href")) {
      report.Warn(element, "<image> has no href; not drawn");
      return false;
    }
    for (String[] shape : kSizes) {
      if (!shape[0].equals(name)) continue;
      for (int i = 1; i < shape.length; ++i) {
        String value = element.getAttribute(shape[i]).trim();
        if (value.isEmpty() || value.startsWith("-")) {
          report.Warn(element, "<" + name + "> has " + (value.isEmpty() ? "no " + shape[i]
              : "a negative " + shape[i] + " (" + value + ")") + "; not drawn");
          return false;
        }
      }
    }
    return true;
  }

  // Batik's CSS parser refuses numbers in exponent form (stroke-width: 2.35099e-37), in style
  // attributes, style sheets and the properties' attributes; they become plain decimals.
  private static void PlainNumbers(Element element) {
    if ("style".equals(element.getLocalName())) {
      String sheet = element.getTextContent();
      if (sheet != null) Fonts.NoteFontFaces(element.getOwnerDocument(), sheet);
      if (sheet != null && HasExponent(sheet)) element.setTextContent(Plain(sheet));
    }
    NamedNodeMap attributes = element.getAttributes();
    for (int i = 0; i < attributes.getLength(); ++i) {
      Attr attribute = (Attr) attributes.item(i);
      String name = attribute.getName();
      if (!name.equals("style") && name.indexOf('-') < 0 && !name.equals("opacity")) continue;
      String value = attribute.getValue();
      if (HasExponent(value)) attribute.setValue(Plain(value));
    }
  }

  private static boolean HasExponent(String text) {
    for (int i = 1; i + 1 < text.length(); ++i) {
      char c = text.charAt(i);
      if ((c == 'e' || c == 'E') && Character.isDigit(text.charAt(i - 1))) return true;
    }
    return false;
  }

  // Not inside an address (url(data:...)), whose letters and digits are no numbers.
  private static String Plain(String text) {
    Matcher number = kExponent.matcher(text);
    Matcher address = kAddress.matcher(text);
    boolean more_addresses = address.find();
    StringBuilder result = new StringBuilder();
    while (number.find()) {
      while (more_addresses && address.end() <= number.start()) more_addresses = address.find();
      if (more_addresses && address.start() <= number.start()) continue;
      String plain = new BigDecimal(number.group()).stripTrailingZeros().toPlainString();
      number.appendReplacement(result, plain);
    }
    return number.appendTail(result).toString();
  }
}
