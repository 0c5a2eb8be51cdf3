package tolvarine.convert;

/**
 * How much of a path's data or a polyline's points can be drawn: SVG draws a path up to the
 * last segment before an error, where Batik refuses the whole element.
 */
final class PathData {
  // The numbers each command takes, by letter.
  private static final String kCommands = "MmLlTtHhVvCcSsQqAaZz";
  private static final int[] kArguments = {2, 2, 2, 2, 2, 2, 1, 1, 1, 1, 6, 6, 4, 4, 4, 4, 7,
      7, 0, 0};

  private final String text;
  private int at;

  private PathData(String text) {
    this.text = text;
  }

  /** The length of the part of path data before its first error, or -1 where it has none. */
  static int ValidPath(String d) {
    PathData path = new PathData(d);
    int valid = 0;  // where the last whole segment ends
    boolean first = true;
    path.SkipSpaces();
    while (path.at < d.length()) {
      int command = kCommands.indexOf(d.charAt(path.at));
      if (command < 0 || first && command > 1) return valid;
      first = false;
      ++path.at;
      path.SkipSpaces();
      int arguments = kArguments[command];
      if (arguments == 0) {
        valid = path.at;
        path.SkipSpaces();
        continue;
      }
      // A command takes one set of numbers or more, a comma or blanks between any two.
      boolean any = false;
      while (true) {
        int start = path.at;
        if (any) path.SkipSeparator();
        if (!path.Numbers(arguments, command >= 16)) {
          if (!any) return valid;
          path.at = start;
          break;
        }
        any = true;
        valid = path.at;
      }
      path.SkipSpaces();
    }
    return -1;
  }

  /** The length of the points before their first error or odd number, or -1 where none. */
  static int ValidPoints(String points) {
    PathData list = new PathData(points);
    int valid = 0;
    list.SkipSpaces();
    while (list.at < points.length()) {
      if (valid > 0) list.SkipSeparator();
      if (!list.Numbers(2, false)) return valid;
      valid = list.at;
      list.SkipSpaces();
    }
    return -1;
  }

  // One set of a command's numbers; an arc's fourth and fifth are flags, one digit each.
  private boolean Numbers(int count, boolean arc) {
    for (int i = 0; i < count; ++i) {
      if (i > 0) SkipSeparator();
      boolean flag = arc && (i == 3 || i == 4);
      if (flag ? !Flag() : !Number()) return false;
    }
    return true;
  }

  private boolean Flag() {
    if (at >= text.length() || text.charAt(at) != '0' && text.charAt(at) != '1') return false;
    ++at;
    return true;
  }

  // sign? (digits ("." digits?)? | "." digits) exponent?
  private boolean Number() {
    int start = at;
    if (Is("+-")) ++at;
    int digits = Digits();
    if (Is(".")) {
      ++at;
      digits += Digits();
    }
    if (digits == 0) {
      at = start;
      return false;
    }
    if (Is("eE")) {
      int mark = at++;
      if (Is("+-")) ++at;
      if (Digits() == 0) at = mark;  // "2e" is the number 2 and the letter e
    }
    return true;
  }

  private int Digits() {
    int start = at;
    while (Is("0123456789")) ++at;
    return at - start;
  }

  private boolean Is(String characters) {
    return at < text.length() && characters.indexOf(text.charAt(at)) >= 0;
  }

  private void SkipSpaces() {
    while (Is(" \t\r\n\f")) ++at;
  }

  private void SkipSeparator() {
    SkipSpaces();
    if (Is(",")) {
      ++at;
      SkipSpaces();
    }
  }
}
