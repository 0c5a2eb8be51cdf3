package tolvarine.convert;

import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Deque;
import java.util.HashMap;
import java.util.IdentityHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.w3c.dom.Attr;
import org.w3c.dom.Element;
import org.w3c.dom.NamedNodeMap;
import org.w3c.dom.Node;

/**
 * The drawing's references by id: a use's href, a fill's url(#id) and the like. One that leads
 * nowhere or to the wrong kind of element is not followed, with one warning, where Batik would
 * end the conversion; one that loops back, directly or through others, is not followed either,
 * where Batik would overflow its stack.
 */
final class References {
  private static final String kXLink = "http://www.w3.org/1999/xlink";
  private static final List<String> kPaintServers =
      List.of("linearGradient", "radialGradient", "pattern");
  // The properties that refer to an element, with the elements each may refer to; the paints
  // first.
  private static final String[][] kProperties = {{"fill"}, {"stroke"}, {"clip-path", "clipPath"},
      {"mask", "mask"}, {"filter", "filter"}, {"marker-start", "marker"},
      {"marker-mid", "marker"}, {"marker-end", "marker"}, {"marker", "marker"}};
  private static final int kPaints = 2;
  // Elements whose href draws its target (not drawn where it cannot be followed), and those
  // whose href only lends them their target's attributes or content (then dropped).
  private static final Set<String> kDrawsTarget =
      Set.of("use", "feImage", "tref", "textPath", "mpath");
  private static final Set<String> kLends =
      Set.of("linearGradient", "radialGradient", "pattern", "filter");
  // What a parent draws of its children: not these, which are drawn where referred to.
  private static final Set<String> kDrawnWhereReferred = Set.of("defs", "clipPath", "mask",
      "marker", "pattern", "symbol", "linearGradient", "radialGradient", "filter");
  // A declaration of a sheet that refers to an element: property, value, id, what follows.
  private static final Pattern kSheetReference = Pattern.compile("(?<![\\w-])(fill|stroke|"
      + "clip-path|mask|filter|marker-start|marker-mid|marker-end|marker)\\s*:\\s*(url\\(\\s*"
      + "['\"]?#([^'\")]*)['\"]?\\s*\\)([^;}]*))", Pattern.CASE_INSENSITIVE);
  private static final Pattern kUrl =
      Pattern.compile("url\\(\\s*(['\"]?)#([^'\")]*)\\1\\s*\\)\\s*(.*)", Pattern.DOTALL);

  // One reference: the element that makes it, through which attribute or property, to what.
  private static final class Reference {
    final Element from;
    final String property;  // "href" for an element's href
    final String value;
    Element target;
    boolean cut;

    Reference(Element from, String property, String value) {
      this.from = from;
      this.property = property;
      this.value = value;
    }
  }

  private final Map<String, Element> ids = new HashMap<>();
  private final List<Element> referring = new ArrayList<>();
  private final List<Element> sheets = new ArrayList<>();
  private final Map<Element, List<Reference>> made = new IdentityHashMap<>();
  private final List<Element> removed = new ArrayList<>();
  private final Messages.Report report;

  References(Messages.Report report) {
    this.report = report;
  }

  // Each element the drawing keeps, in document order: the first of an id is the one found.
  void Note(Element element) {
    String id = element.getAttribute("id");
    if (!id.isEmpty()) ids.putIfAbsent(id, element);
    if ("style".equals(element.getLocalName()) && element.getTextContent().contains("url(")) {
      sheets.add(element);
    }
    NamedNodeMap attributes = element.getAttributes();
    for (int i = 0; i < attributes.getLength(); ++i) {
      Attr attribute = (Attr) attributes.item(i);
      String value = attribute.getValue();
      if ("href".equals(attribute.getLocalName()) || value.contains("url(")
          || value.contains("context-")) {
        referring.add(element);
        return;
      }
    }
  }

  // Once every element is noted: what cannot be followed is cut, loops included.
  void Resolve(Element root) {
    for (Element sheet : sheets) Follow(sheet);
    if (referring.isEmpty()) return;
    for (Element element : referring) Find(element);
    if (!made.isEmpty()) CutLoops(root);
    for (Element element : removed) {
      if (element.getParentNode() != null) element.getParentNode().removeChild(element);
    }
  }

  private void Find(Element element) {
    String name = element.getLocalName();
    if (kDrawsTarget.contains(name) || kLends.contains(name)) {
      String href = element.getAttributeNS(kXLink, "href");
      if (href.isEmpty()) href = element.getAttribute("href");
      if (href.startsWith("#")) {
        Follow(new Reference(element, "href", href), href.substring(1), List.of());
      }
    }
    Colours.Declarations style = Colours.Declarations.Parse(element.getAttribute("style"));
    for (int p = 0; p < kProperties.length; ++p) {
      String value = Colours.Value(element, style, kProperties[p][0]);
      if (value.isEmpty()) continue;
      Reference reference = new Reference(element, kProperties[p][0], value);
      boolean paint = p < kPaints;
      if (paint && value.startsWith("context-")) {
        Cut(reference, "a context's paint is not supported");
        continue;
      }
      Matcher url = kUrl.matcher(value);
      if (!url.matches()) continue;  // none, a colour, or a reference to another file
      // A paint with a fallback colour is Batik's to resolve.
      if (paint && !url.group(3).isEmpty()) continue;
      Follow(reference, url.group(2), paint ? kPaintServers
          : Arrays.asList(kProperties[p]).subList(1, 2));
    }
  }

  // A style sheet's references that lead nowhere or to the wrong kind of element become
  // "none", whichever elements its rules select. (Loops through a sheet's rules are Batik's
  // to find.)
  private void Follow(Element sheet) {
    Matcher declaration = kSheetReference.matcher(sheet.getTextContent());
    StringBuilder text = new StringBuilder();
    boolean changed = false;
    while (declaration.find()) {
      String property = declaration.group(1).toLowerCase(Locale.ROOT);
      int p = 0;
      while (!kProperties[p][0].equals(property)) ++p;
      List<String> kinds = p < kPaints ? kPaintServers : List.of(kProperties[p][1]);
      String why = WhyNot(declaration.group(3), kinds);
      if (why == null || p < kPaints && !declaration.group(4).isBlank()) continue;
      report.Warn(sheet, property + ": " + declaration.group(2).trim() + ": " + why + "; "
          + (p < kPaints ? "not painted" : "ignored"));
      declaration.appendReplacement(text, Matcher.quoteReplacement(property + ": none"));
      changed = true;
    }
    if (changed) sheet.setTextContent(declaration.appendTail(text).toString());
  }

  private void Follow(Reference reference, String id, List<String> kinds) {
    String why = WhyNot(id, kinds);
    if (why != null) {
      Cut(reference, why);
      return;
    }
    reference.target = ids.get(id);
    made.computeIfAbsent(reference.from, e -> new ArrayList<>()).add(reference);
  }

  // Why a reference to the id cannot be followed (kinds: the elements it may lead to, any where
  // empty), or null where it can.
  private String WhyNot(String id, List<String> kinds) {
    Element target = ids.get(id);
    if (target == null) return "no element has the id \"" + id + "\"";
    if (kinds.isEmpty() || kinds.contains(target.getLocalName())) return null;
    return "\"#" + id + "\" is a <" + target.getLocalName() + ">, not a <"
        + String.join("> or <", kinds) + ">";
  }

  // A walk through what each element draws, from the root: its children but those drawn only
  // where referred to, and what it refers to. A reference back into the walk's own path
  // loops; the last one taken on that path is cut.
  private void CutLoops(Element root) {
    final class Step {
      final Element element;
      final Reference via;
      Node child;
      int next;

      Step(Element element, Reference via) {
        this.element = element;
        this.via = via;
        child = element.getFirstChild();
      }
    }
    Deque<Step> path = new ArrayDeque<>();
    Map<Element, Boolean> on_path = new IdentityHashMap<>();  // false once left
    path.push(new Step(root, null));
    on_path.put(root, true);
    while (!path.isEmpty()) {
      Step step = path.peek();
      Element next;
      Reference via = null;
      List<Reference> references = made.get(step.element);
      if (step.child != null) {
        Node child = step.child;
        step.child = child.getNextSibling();
        if (!(child instanceof Element) || kDrawnWhereReferred.contains(child.getLocalName())) {
          continue;
        }
        next = (Element) child;
      } else if (references != null && step.next < references.size()) {
        via = references.get(step.next++);
        if (via.cut) continue;
        next = via.target;
      } else {
        path.pop();
        on_path.put(step.element, false);
        continue;
      }
      Boolean state = on_path.get(next);
      if (state == null) {
        path.push(new Step(next, via));
        on_path.put(next, true);
      } else if (state) {
        for (Step s : path) {
          if (via != null || s.element == next) break;
          via = s.via;
        }
        if (via != null) Cut(via, "the reference loops back to where it is made from");
      }
    }
  }

  // The reference is not followed: what needs it is not drawn, or does without it.
  private void Cut(Reference reference, String why) {
    reference.cut = true;
    Element from = reference.from;
    String name = from.getLocalName();
    String quoted = "href".equals(reference.property)
        ? "<" + name + "> href=\"" + reference.value + "\""
        : reference.property + "=\"" + reference.value + "\"";
    String done;
    if (!"href".equals(reference.property)) {
      Colours.Declarations style = Colours.Declarations.Parse(from.getAttribute("style"));
      if (style != null && style.Get(reference.property) != null) {
        style.Set(reference.property, "none");
        from.setAttribute("style", style.toString());
      } else {
        from.setAttribute(reference.property, "none");
      }
      boolean paint = reference.property.equals("fill") || reference.property.equals("stroke");
      done = paint ? "not painted" : "ignored";
    } else if (kDrawsTarget.contains(name)) {
      removed.add(from);
      done = "not drawn";
    } else {
      from.removeAttributeNS(kXLink, "href");
      from.removeAttribute("href");
      done = "ignored";
    }
    report.Warn(from, quoted + ": " + why + "; " + done);
  }
}
