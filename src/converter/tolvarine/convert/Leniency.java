package tolvarine.convert;

import java.math.BigDecimal;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.w3c.dom.Attr;
import org.w3c.dom.Element;
import org.w3c.dom.NamedNodeMap;
import org.w3c.dom.Node;

/**
 * What real programs write and Batik refuses or misdraws, made what other converters draw,
 * in one walk before Batik's bridge sees the drawing.
 */
final class Leniency {
  // The shapes that cannot be drawn without each of their sizes, nor with a negative one.
  private static final String[][] kSizes = {
      {"rect", "width", "height"}, {"circle", "r"}, {"ellipse", "rx", "ry"}};
  private static final String kXLink = "http://www.w3.org/1999/xlink";
  // A number in exponent form, not part of a name or a #colour.
  private static final Pattern kExponent =
      Pattern.compile("(?<![\\w#.])[+-]?(\\d+\\.?\\d*|\\.\\d+)[eE][+-]?\\d+");

  private Leniency() {}

  // The same walk rewrites the colours Batik would refuse, so the drawing is walked once.
  static void Prepare(Element root, Messages.Report report) {
    Walk(root, Colours.Opaque(), report);
  }

  private static void Walk(Element element, double[] colours, Messages.Report report) {
    boolean is_switch = "switch".equals(element.getLocalName());
    PlainNumbers(element);
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
          Walk((Element) child, inherited, report);
        }
      }
      child = next;
    }
  }

  // Whether the element has what it needs to be drawn; one warning where it has not.
  private static boolean Drawable(Element element, Messages.Report report) {
    String name = element.getLocalName();
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

  private static String Plain(String text) {
    Matcher number = kExponent.matcher(text);
    StringBuilder result = new StringBuilder();
    while (number.find()) {
      String plain = new BigDecimal(number.group()).stripTrailingZeros().toPlainString();
      number.appendReplacement(result, plain);
    }
    return number.appendTail(result).toString();
  }
}
