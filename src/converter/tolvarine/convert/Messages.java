package tolvarine.convert;

import static java.nio.charset.StandardCharsets.UTF_8;

import java.io.IOException;
import java.nio.file.AccessDeniedException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.apache.batik.bridge.BridgeException;
import org.apache.batik.dom.util.DocumentDescriptor;
import org.apache.batik.transcoder.ErrorHandler;
import org.apache.batik.transcoder.TranscoderException;
import org.w3c.dom.Element;
import org.w3c.dom.Node;
import org.xml.sax.SAXParseException;

/**
 * What the user reads, as compilers write it: one line a message, "NAME:LINE:COLUMN: warning:
 * ..." or "...: error: ...", the drawing named as the user typed it and the place of the
 * element concerned; and silence from the libraries' logs.
 */
final class Messages {
  // Batik starts its messages with the drawing's address and line, -1 or nothing when it has
  // none ("file:/tmp/a.svg:-1" and a line break).
  private static final Pattern kBatikLocation = Pattern.compile("^\\S*:-?\\d*\\s*\\R");
  private static final Pattern kInvalidAttribute = Pattern.compile(
      "The attribute \"([^\"]+)\" represents an invalid CSS (?:value|declaration) \\(\"(.*)\"\\)",
      Pattern.DOTALL);
  static final int kShownWarnings = 20;

  private Messages() {}

  // The parts of Batik and FOP that log (missing glyphs, font detection) must not reach the
  // user: their findings either do not matter or end the conversion with a message.
  static void SilenceLogging() {
    System.setProperty("org.apache.commons.logging.Log",
        "org.apache.commons.logging.impl.NoOpLog");
    java.util.logging.LogManager.getLogManager().reset();
  }

  // One line a user can act on: the drawing's place where the failure has one, otherwise the
  // file the failing step worked on and the innermost reason.
  static String Explain(Throwable failure, String file, Report report) {
    Throwable innermost = failure;
    for (Throwable t = failure; t != null; t = Cause(t)) {
      if (t instanceof SAXParseException) {
        SAXParseException e = (SAXParseException) t;
        return report.name + ":" + e.getLineNumber() + ":" + e.getColumnNumber() + ": error: "
            + Describe(e);
      }
      if (t instanceof BridgeException) {
        if (report.pending != null && Innermost(report.pending) == t) report.pending = null;
        return report.Line(Element(t), "error", Text(t));
      }
      if (t.getMessage() != null && !t.getMessage().isEmpty() || t instanceof Error) {
        innermost = t;
      }
    }
    return "Error: " + file + ": " + Text(innermost);
  }

  private static Element Element(Throwable t) {
    return t instanceof BridgeException ? ((BridgeException) t).getElement() : null;
  }

  // A library's message on one line, without the drawing's address it may start with.
  private static String Text(Throwable t) {
    String message = t.getMessage();
    Matcher located = message == null ? null : kBatikLocation.matcher(message);
    String text = located != null && located.lookingAt()
        ? OneLine(message.substring(located.end())) : Describe(t);
    text = kInvalidAttribute.matcher(text).replaceFirst("$1=\"$2\"");
    return text.replaceAll("\\.? Original message: The ", ": the ")
        .replaceAll("\\.? Original message: ", ": ").replaceAll("\\.$", "");
  }

  /**
   * The messages about one drawing. Batik's recoverable errors (a value it cannot take) become
   * warnings and the conversion goes on, the value ignored; at most kShownWarnings are shown,
   * then the count of the rest.
   */
  static final class Report implements ErrorHandler {
    final String name;  // the input as the user typed it
    private final Path file;
    DocumentDescriptor places;  // each element's place, recorded while parsing
    Node root;
    // Each warning's place (null where it has none) and text, shown in the drawing's order.
    private final List<Object[]> warnings = new ArrayList<>();
    private final List<String> unread = new ArrayList<>();  // the images that cannot be read
    private final Set<Element> named = new HashSet<>();
    private List<String> lines;  // the drawing's text, read for the first place shown
    // The last error reported: FOP may still end the conversion with it.
    TranscoderException pending;

    Report(String name, Path file) {
      this.name = name;
      this.file = file;
    }

    void Warn(Element element, String text) {
      warnings.add(new Object[] {Place(element), text});
    }

    // Shown before the conversion's last line.
    // An image that cannot be read: its warning says so, and the image loader's own reports
    // about the same address, without a place, are not shown besides.
    void Unreadable(Element image, String address) {
      String written = image.getAttributeNS("http://www.w3.org/1999/xlink", "href");
      if (written.isEmpty()) written = image.getAttribute("href");
      Warn(image, "<image> href=\"" + Excerpt(written.isEmpty() ? address : written)
          + "\" cannot be read; not drawn");
      pending = null;
      String path = address.startsWith("file:") ? address.substring(5) : address;
      warnings.removeIf(w -> w[0] == null && ((String) w[1]).contains(path));
      unread.add(path);
    }

    // A data: address can be long.
    private static String Excerpt(String text) {
      return text.length() <= 60 ? text : text.substring(0, 60) + "...";
    }

    void Print() {
      if (pending != null) WarnIgnored(pending);
      warnings.removeIf(w -> w[0] == null && unread.stream().anyMatch(((String) w[1])::contains));
      warnings.sort(Comparator.comparingLong(w -> Order((int[]) w[0])));
      for (Object[] warning : warnings.subList(0, Math.min(warnings.size(), kShownWarnings))) {
        System.err.println(Line((int[]) warning[0], "warning", (String) warning[1]));
      }
      if (warnings.size() > kShownWarnings) {
        System.err.println(
            name + ": " + (warnings.size() - kShownWarnings) + " more warnings not shown");
      }
    }

    private static long Order(int[] place) {
      return place == null ? Long.MAX_VALUE : (long) place[0] << 32 | place[1];
    }

    String Line(Element element, String kind, String text) {
      return Line(Place(element), kind, text);
    }

    private String Line(int[] place, String kind, String text) {
      return name + (place == null ? "" : ":" + place[0] + ":" + place[1]) + ": " + kind + ": "
          + text;
    }

    // Where the element's start tag begins: the parser records where it ends.
    private int[] Place(Element element) {
      int line = element == null || places == null ? -1 : places.getLocationLine(element);
      if (line <= 0) return null;
      int column = places.getLocationColumn(element);
      try {
        if (lines == null) {
          lines = List.of(new String(Files.readAllBytes(file), UTF_8).split("\\R", -1));
        }
        for (int l = line; l >= 1 && l <= lines.size(); --l, column = Integer.MAX_VALUE) {
          String text = lines.get(l - 1);
          int at = text.lastIndexOf('<', Math.min(column - 1, text.length()) - 1);
          if (at >= 0) return new int[] {l, at + 1};
        }
      } catch (IOException | RuntimeException e) {
        // The place the parser recorded serves.
      }
      return new int[] {line, column};
    }

    private void WarnIgnored(TranscoderException e) {
      Throwable reason = Innermost(e);
      Element element = Element(reason);
      String text = Text(reason);
      if (element == null && warnings.size() < kShownWarnings) element = WithAttribute(reason);
      Warn(element, text + "; ignored");
    }

    // The first element not yet named whose attribute has the value a message quotes: Batik's
    // messages about values do not say which element holds it.
    private Element WithAttribute(Throwable reason) {
      Matcher quoted = kInvalidAttribute.matcher(String.valueOf(reason.getMessage()));
      if (!quoted.find() || root == null) return null;
      for (Node node = root; node != null; node = Next(node)) {
        if (!(node instanceof Element) || named.contains(node)) continue;
        Element element = (Element) node;
        if (element.getAttribute(quoted.group(1)).equals(quoted.group(2))) {
          named.add(element);
          return element;
        }
      }
      return null;
    }

    private Node Next(Node node) {
      if (node.getFirstChild() != null) return node.getFirstChild();
      for (Node n = node; n != null && n != root; n = n.getParentNode()) {
        if (n.getNextSibling() != null) return n.getNextSibling();
      }
      return null;
    }

    // Batik's own warnings (an unknown attribute, a missing glyph) are not worth a line each.
    @Override
    public void warning(TranscoderException e) {}

    @Override
    public void error(TranscoderException e) {
      if (pending != null) WarnIgnored(pending);
      pending = e;
    }

    @Override
    public void fatalError(TranscoderException e) throws TranscoderException {
      pending = e;
      throw e;
    }
  }

  private static Throwable Innermost(Throwable t) {
    while (Cause(t) != null) t = Cause(t);
    return t;
  }

  static Throwable Cause(Throwable t) {
    if (t instanceof TranscoderException && ((TranscoderException) t).getException() != null) {
      return ((TranscoderException) t).getException();
    }
    return t.getCause() == t ? null : t.getCause();
  }

  static String Describe(Throwable t) {
    if (t instanceof NoSuchFileException) return "no such file";
    if (t instanceof AccessDeniedException) return "permission denied";
    if (t instanceof OutOfMemoryError) return "out of memory (a larger -Xmx may help)";
    if (t instanceof StackOverflowError) {
      return "the drawing nests too deeply, or a style sheet's references loop";
    }
    if (t instanceof LinkageError) {
      return "the converter's installation is incomplete (" + t.getClass().getSimpleName() + ": "
          + t.getMessage() + ")";
    }
    String message = t.getMessage();
    if (message == null || message.isEmpty()) return t.getClass().getSimpleName();
    return OneLine(message);
  }

  private static String OneLine(String text) {
    return text.replaceAll("\\s*\\R\\s*", " ").trim();
  }
}
