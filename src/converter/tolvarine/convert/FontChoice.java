package tolvarine.convert;

import java.lang.Character.UnicodeScript;
import java.util.ArrayList;
import java.util.Collection;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.function.ToIntFunction;

/**
 * Which installed face draws a family at a weight, style and stretch, as browsers and
 * fontconfig choose: the faces' traits read from their names, CSS font matching among them, the
 * metric-compatible stand-ins for the names drawings use most, and the Debian package that
 * draws a script.
 */
final class FontChoice {
  static final int kNormalStretch = 5;
  // Words of a face's name, blanks and hyphens removed; one that holds another comes first.
  private static final String[][] kWeightWords = {
      {"extralight", "200"}, {"ultralight", "200"}, {"semilight", "300"}, {"demilight", "300"},
      {"thin", "100"}, {"hairline", "100"}, {"light", "300"}, {"medium", "500"},
      {"semibold", "600"}, {"demibold", "600"}, {"extrabold", "800"}, {"ultrabold", "800"},
      {"bold", "700"}, {"extrablack", "900"}, {"black", "900"}, {"heavy", "900"}};
  private static final String[][] kStretchWords = {
      {"ultracondensed", "1"}, {"extracondensed", "2"}, {"semicondensed", "4"},
      {"condensed", "3"}, {"narrow", "3"}, {"semiexpanded", "6"}, {"ultraexpanded", "9"},
      {"extraexpanded", "8"}, {"expanded", "7"}};
  private static final String[][] kOtherWords = {
      {"regular"}, {"normal"}, {"book"}, {"roman"}, {"italic"}, {"oblique"}, {"slanted"}};
  // The names that stand for a kind of face (the generic families, Java's and the PDF base
  // fonts', the commonest fonts of other systems), each with the installed families that take
  // their place, best first: the metric-compatible ones for the named fonts, so that words
  // placed one by one keep their widths.
  private static final String[][][] kStandIns = {
      {{"sans-serif", "SansSerif", "any"},
          {"DejaVu Sans", "Liberation Sans", "Noto Sans", "FreeSans"}},
      {{"Arial", "Helvetica", "Arimo"},
          {"Liberation Sans", "Arimo", "DejaVu Sans", "Noto Sans", "FreeSans"}},
      {{"serif", "Serif"}, {"DejaVu Serif", "Liberation Serif", "Noto Serif", "FreeSerif"}},
      {{"Times", "Times-Roman", "Times Roman", "Times New Roman", "Tinos"},
          {"Liberation Serif", "Tinos", "DejaVu Serif", "Noto Serif", "FreeSerif"}},
      {{"monospace", "Monospaced"},
          {"DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono", "FreeMono"}},
      {{"Courier", "Courier New", "Cousine"},
          {"Liberation Mono", "Cousine", "DejaVu Sans Mono", "Noto Sans Mono", "FreeMono"}}};

  private FontChoice() {}

  /** One installed face: the name the PDF library knows it by, and its traits. */
  static final class Face {
    final String key;
    final int weight;  // 100 to 900
    final String style;  // normal, italic or oblique
    final int stretch;  // 1 (ultra-condensed) to 9 (ultra-expanded)

    Face(String key, int weight, String style, int stretch) {
      this.key = key;
      this.weight = weight;
      this.style = style;
      this.stretch = stretch;
    }
  }

  // A face of the family from its full name, whose words after the family's name say its
  // weight, width and slant ("Noto Sans Condensed ExtraLight Italic"). Only those words count:
  // "Old Italic" is a script and "Thin" a weight whatever a font's other tables claim.
  static Face FromName(String key, String family, String full_name) {
    String words = full_name.regionMatches(true, 0, family, 0, family.length())
        ? full_name.substring(family.length()) : full_name;
    words = words.toLowerCase(Locale.ROOT).replaceAll("[\\s_-]", "");
    String style = words.contains("italic") ? "italic"
        : words.contains("oblique") || words.contains("slanted") ? "oblique" : "normal";
    return new Face(key, Find(words, kWeightWords, 400), style,
        Find(words, kStretchWords, kNormalStretch));
  }

  // Whether the words after a family's name only say a face's traits ("Condensed Bold"), so
  // that the face belongs to the family, where "Devanagari Bold" names another.
  static boolean OnlyTraits(String words) {
    String left = words.toLowerCase(Locale.ROOT).replaceAll("[\\s_-]", "");
    for (String[][] table : new String[][][] {kWeightWords, kStretchWords, kOtherWords}) {
      for (String[] row : table) left = left.replace(row[0], "");
    }
    return left.isEmpty();
  }

  private static int Find(String words, String[][] table, int otherwise) {
    for (String[] row : table) {
      if (words.contains(row[0])) return Integer.parseInt(row[1]);
    }
    return otherwise;
  }

  // CSS font matching: the nearest stretch, then the style, then the nearest weight, each step
  // keeping the faces that the previous ones left.
  static Face Choose(Collection<Face> faces, int weight, String style, int stretch) {
    List<Face> left = new ArrayList<>(faces);
    if (left.isEmpty()) return null;
    ToIntFunction<Face> width = f -> f.stretch;
    left = Keep(left, width, stretch <= kNormalStretch
        ? Either(Below(left, width, stretch), Above(left, width, stretch, Integer.MAX_VALUE))
        : Either(Above(left, width, stretch, Integer.MAX_VALUE), Below(left, width, stretch)));
    for (String candidate : StyleOrder(style)) {
      List<Face> styled = new ArrayList<>(left);
      styled.removeIf(f -> !f.style.equals(candidate));
      if (!styled.isEmpty()) {
        left = styled;
        break;
      }
    }
    ToIntFunction<Face> thickness = f -> f.weight;
    int nearest = Above(left, thickness, weight, weight >= 400 && weight <= 500 ? 500 : 0);
    if (nearest == kNone) {
      nearest = weight > 500
          ? Either(Above(left, thickness, weight, Integer.MAX_VALUE), Below(left, thickness, weight))
          : Either(Below(left, thickness, weight), Above(left, thickness, weight, Integer.MAX_VALUE));
    }
    return Keep(left, thickness, nearest).get(0);
  }

  private static String[] StyleOrder(String style) {
    if (style.equals("italic")) return new String[] {"italic", "oblique", "normal"};
    if (style.equals("oblique")) return new String[] {"oblique", "italic", "normal"};
    return new String[] {"normal", "oblique", "italic"};
  }

  private static final int kNone = Integer.MIN_VALUE;

  // The wanted value itself, or the lowest above it up to the limit; kNone where no face has one.
  private static int Above(List<Face> faces, ToIntFunction<Face> value, int wanted, int limit) {
    int best = kNone;
    for (Face face : faces) {
      int v = value.applyAsInt(face);
      if (v == wanted) return v;
      if (v > wanted && v <= limit && (best == kNone || v < best)) best = v;
    }
    return best;
  }

  // The wanted value itself, or the highest below it.
  private static int Below(List<Face> faces, ToIntFunction<Face> value, int wanted) {
    int best = kNone;
    for (Face face : faces) {
      int v = value.applyAsInt(face);
      if (v == wanted) return v;
      if (v < wanted && v > best) best = v;
    }
    return best;
  }

  private static int Either(int first, int second) {
    return first != kNone ? first : second;
  }

  private static List<Face> Keep(List<Face> faces, ToIntFunction<Face> value, int wanted) {
    List<Face> kept = new ArrayList<>(faces);
    kept.removeIf(f -> value.applyAsInt(f) != wanted);
    return kept;
  }

  // The installed family that draws a name: the name's own family where installed, else its
  // first installed stand-in, else none.
  static String Family(String name, Collection<String> installed) {
    return Family(name, installed, Map.of());
  }

  // chosen: the families the system's font configuration gives the generic names
  // ("sans-serif"), which come first where installed.
  static String Family(String name, Collection<String> installed, Map<String, String> chosen) {
    if (installed.contains(name)) return name;
    for (String[][] group : kStandIns) {
      if (!List.of(group[0]).contains(name)) continue;
      String system = chosen.get(group[0][0]);
      if (system != null && installed.contains(system)) return system;
      for (String family : group[1]) {
        if (installed.contains(family)) return family;
      }
    }
    return null;
  }

  // A script's name as a user knows it, and the Debian package whose fonts the converter can
  // draw it with. Noto's CJK fonts come in collections of PostScript outlines, which the PDF
  // library cannot read; Droid's fallback font is a TrueType one that has them all.
  static String[] Script(int code_point) {
    UnicodeScript script = UnicodeScript.of(code_point);
    if (script == UnicodeScript.HIRAGANA || script == UnicodeScript.KATAKANA) {
      return new String[] {"Japanese", "fonts-noto-cjk"};
    }
    if (script == UnicodeScript.HANGUL) return new String[] {"Korean", "fonts-noto-cjk"};
    if (script == UnicodeScript.HAN || script == UnicodeScript.BOPOMOFO) {
      return new String[] {"CJK", "fonts-noto-cjk"};
    }
    // A private-use character is a font's own: no package has it.
    if (Character.getType(code_point) == Character.PRIVATE_USE) {
      return new String[] {"private-use", ""};
    }
    if (code_point >= 0x1F000 && code_point < 0x1FB00
        || code_point >= 0x2600 && code_point < 0x27C0) {
      return new String[] {"emoji and symbol", "fonts-symbola"};
    }
    if (script == UnicodeScript.COMMON || script == UnicodeScript.INHERITED
        || script == UnicodeScript.UNKNOWN) {
      return new String[] {"symbol", "fonts-noto-core"};
    }
    String name = script.name().toLowerCase(Locale.ROOT).replace('_', ' ');
    StringBuilder title = new StringBuilder();
    for (String word : name.split(" ")) {
      title.append(title.length() == 0 ? "" : " ").append(Character.toUpperCase(word.charAt(0)))
          .append(word.substring(1));
    }
    return new String[] {title.toString(), "fonts-noto-core"};
  }
}
