package tolvarine.convert;

import java.nio.file.AccessDeniedException;
import java.nio.file.NoSuchFileException;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.apache.batik.transcoder.TranscoderException;
import org.xml.sax.SAXParseException;

/** What the user reads: one line for a failure, and silence from the libraries' logs. */
final class Messages {
  private static final Pattern kBatikLocation = Pattern.compile("^file:\\S*:(-?\\d+) (.*)$");

  private Messages() {}

  // The parts of Batik and FOP that log (missing glyphs, font detection) must not reach the
  // user: their findings either do not matter or end the conversion with a message.
  static void SilenceLogging() {
    System.setProperty("org.apache.commons.logging.Log",
        "org.apache.commons.logging.impl.NoOpLog");
    java.util.logging.LogManager.getLogManager().reset();
  }

  // One line a user can act on: the drawing's line and column for XML errors, its line where
  // Batik names one, otherwise the file the failing step worked on and the innermost reason.
  static String Explain(Throwable failure, String input, String file) {
    Throwable innermost = failure;
    for (Throwable t = failure; t != null; t = Cause(t)) {
      if (t instanceof SAXParseException) {
        SAXParseException e = (SAXParseException) t;
        return input + ":" + e.getLineNumber() + ":" + e.getColumnNumber() + ": " + Describe(e);
      }
      if (t.getMessage() != null && !t.getMessage().isEmpty() || t instanceof Error) {
        innermost = t;
      }
    }
    String message = Describe(innermost);
    // Batik starts its messages with the drawing's address and line ("file:/...:12"), -1 when
    // it has none.
    Matcher located = kBatikLocation.matcher(message);
    if (located.matches()) {
      String line = located.group(1);
      return (line.startsWith("-") ? "Error: " + input + ": " : input + ":" + line + ": ")
          + located.group(2);
    }
    return "Error: " + file + ": " + message;
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
    if (t instanceof LinkageError) {
      return "the converter's installation is incomplete (" + t.getClass().getSimpleName() + ": "
          + t.getMessage() + ")";
    }
    String message = t.getMessage();
    if (message == null || message.isEmpty()) return t.getClass().getSimpleName();
    return message.replaceAll("\\s*\\R\\s*", " ").trim();
  }
}
