package tolvarine.convert;

import org.w3c.dom.Element;
import org.w3c.dom.Node;

/**
 * What real programs write and Batik refuses or misdraws, made what other converters draw,
 * in one walk before Batik's bridge sees the drawing.
 */
final class Leniency {
  private Leniency() {}

  static void Prepare(Element root) {
    Walk(root);
  }

  private static void Walk(Element element) {
    boolean is_switch = "switch".equals(element.getLocalName());
    Node child = element.getFirstChild();
    while (child != null) {
      Node next = child.getNextSibling();
      if (child instanceof Element) {
        // The converter cannot draw HTML: a switch takes the next child that qualifies (a
        // diagram's label falls back to its text).
        if (is_switch && "foreignObject".equals(child.getLocalName())) {
          element.removeChild(child);
        } else {
          Walk((Element) child);
        }
      }
      child = next;
    }
  }
}
