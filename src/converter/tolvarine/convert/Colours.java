package tolvarine.convert;

import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.w3c.dom.Element;

/**
 * Colours as CSS writes them today. Batik knows only SVG 1.1's colours and ends the conversion
 * on any other (transparent, #rrggbbaa, rgba(), hsl(), rebeccapurple), so before its bridge
 * sees the drawing every other colour becomes rgb(r,g,b), its alpha the matching opacity.
 */
final class Colours {
  /** A colour: red, green and blue from 0 to 255, alpha from 0 to 1. */
  static final class Colour {
    final int red;
    final int green;
    final int blue;
    final double alpha;

    Colour(double red, double green, double blue, double alpha) {
      this.red = (int) Math.round(Clamp(red, 255));
      this.green = (int) Math.round(Clamp(green, 255));
      this.blue = (int) Math.round(Clamp(blue, 255));
      this.alpha = Clamp(alpha, 1);
    }

    String Rgb() {
      return "rgb(" + red + "," + green + "," + blue + ")";
    }
  }

  // The properties that take a colour, each with the opacity its alpha becomes (none for the
  // two whose alpha SVG has no property for). fill and stroke come first: they are inherited.
  private static final String[][] kProperties = {{"fill", "fill-opacity"},
      {"stroke", "stroke-opacity"}, {"stop-color", "stop-opacity"},
      {"flood-color", "flood-opacity"}, {"lighting-color", null}, {"color", null}};
  private static final int kInherited = 2;

  // Loaded by the first colour that needs parsing, so that a drawing without one pays nothing.
  private static final class Syntax {
    static final Pattern kNumber =
        Pattern.compile("[+-]?(\\d+\\.?\\d*|\\.\\d+)(e[+-]?\\d+)?(%|deg|grad|rad|turn)?");
    static final Pattern kRule = Pattern.compile("\\{([^{}]*)\\}");
    static final Map<String, String> kNames = new HashMap<>();
    static {
      String[] words = (""
        + "aliceblue f0f8ff antiquewhite faebd7 aqua 00ffff aquamarine 7fffd4 azure f0ffff "
        + "beige f5f5dc bisque ffe4c4 black 000000 blanchedalmond ffebcd blue 0000ff "
        + "blueviolet 8a2be2 brown a52a2a burlywood deb887 cadetblue 5f9ea0 chartreuse 7fff00 "
        + "chocolate d2691e coral ff7f50 cornflowerblue 6495ed cornsilk fff8dc crimson dc143c "
        + "cyan 00ffff darkblue 00008b darkcyan 008b8b darkgoldenrod b8860b darkgray a9a9a9 "
        + "darkgreen 006400 darkgrey a9a9a9 darkkhaki bdb76b darkmagenta 8b008b "
        + "darkolivegreen 556b2f darkorange ff8c00 darkorchid 9932cc darkred 8b0000 "
        + "darksalmon e9967a darkseagreen 8fbc8f darkslateblue 483d8b darkslategray 2f4f4f "
        + "darkslategrey 2f4f4f darkturquoise 00ced1 darkviolet 9400d3 deeppink ff1493 "
        + "deepskyblue 00bfff dimgray 696969 dimgrey 696969 dodgerblue 1e90ff firebrick b22222 "
        + "floralwhite fffaf0 forestgreen 228b22 fuchsia ff00ff gainsboro dcdcdc "
        + "ghostwhite f8f8ff gold ffd700 goldenrod daa520 gray 808080 green 008000 "
        + "greenyellow adff2f grey 808080 honeydew f0fff0 hotpink ff69b4 indianred cd5c5c "
        + "indigo 4b0082 ivory fffff0 khaki f0e68c lavender e6e6fa lavenderblush fff0f5 "
        + "lawngreen 7cfc00 lemonchiffon fffacd lightblue add8e6 lightcoral f08080 "
        + "lightcyan e0ffff lightgoldenrodyellow fafad2 lightgray d3d3d3 lightgreen 90ee90 "
        + "lightgrey d3d3d3 lightpink ffb6c1 lightsalmon ffa07a lightseagreen 20b2aa "
        + "lightskyblue 87cefa lightslategray 778899 lightslategrey 778899 "
        + "lightsteelblue b0c4de lightyellow ffffe0 lime 00ff00 limegreen 32cd32 linen faf0e6 "
        + "magenta ff00ff maroon 800000 mediumaquamarine 66cdaa mediumblue 0000cd "
        + "mediumorchid ba55d3 mediumpurple 9370db mediumseagreen 3cb371 "
        + "mediumslateblue 7b68ee mediumspringgreen 00fa9a mediumturquoise 48d1cc "
        + "mediumvioletred c71585 midnightblue 191970 mintcream f5fffa mistyrose ffe4e1 "
        + "moccasin ffe4b5 navajowhite ffdead navy 000080 oldlace fdf5e6 olive 808000 "
        + "olivedrab 6b8e23 orange ffa500 orangered ff4500 orchid da70d6 palegoldenrod eee8aa "
        + "palegreen 98fb98 paleturquoise afeeee palevioletred db7093 papayawhip ffefd5 "
        + "peachpuff ffdab9 peru cd853f pink ffc0cb plum dda0dd powderblue b0e0e6 "
        + "purple 800080 rebeccapurple 663399 red ff0000 rosybrown bc8f8f royalblue 4169e1 "
        + "saddlebrown 8b4513 salmon fa8072 sandybrown f4a460 seagreen 2e8b57 seashell fff5ee "
        + "sienna a0522d silver c0c0c0 skyblue 87ceeb slateblue 6a5acd slategray 708090 "
        + "slategrey 708090 snow fffafa springgreen 00ff7f steelblue 4682b4 tan d2b48c "
        + "teal 008080 thistle d8bfd8 tomato ff6347 turquoise 40e0d0 violet ee82ee "
        + "wheat f5deb3 white ffffff whitesmoke f5f5f5 yellow ffff00 yellowgreen 9acd32")
          .split(" ");
      for (int i = 0; i < words.length; i += 2) kNames.put(words[i], words[i + 1]);
    }
  }

  private Colours() {}

  // --- Parsing --------------------------------------------------------------------------------

  /** The colour a CSS colour value gives, or null when it is none (currentColor, a typo). */
  static Colour Parse(String text) {
    String t = text.trim().toLowerCase(Locale.ROOT);
    if (t.startsWith("#")) return Hex(t.substring(1));
    if (t.equals("transparent")) return new Colour(0, 0, 0, 0);
    int open = t.indexOf('(');
    if (open < 0) return Syntax.kNames.containsKey(t) ? Hex(Syntax.kNames.get(t)) : null;
    if (!t.endsWith(")")) return null;
    String[] parts = Arguments(t.substring(open + 1, t.length() - 1));
    if (parts == null) return null;
    switch (t.substring(0, open)) {
      case "rgb":
      case "rgba":
        return Rgb(parts);
      case "hsl":
      case "hsla":
        return Hsl(parts);
      default:
        return null;
    }
  }

  private static Colour Hex(String digits) {
    int n = digits.length();
    if (n != 3 && n != 4 && n != 6 && n != 8 || !digits.matches("[0-9a-f]+")) return null;
    int step = n <= 4 ? 1 : 2;
    double[] values = {0, 0, 0, 255};
    for (int i = 0; i * step < n; ++i) {
      int value = Integer.parseInt(digits.substring(i * step, (i + 1) * step), 16);
      values[i] = step == 1 ? value * 17 : value;
    }
    return new Colour(values[0], values[1], values[2], values[3] / 255);
  }

  // The three components and the alpha, if any: "a, b, c[, alpha]" or "a b c[ / alpha]".
  private static String[] Arguments(String text) {
    String[] parts;
    if (text.indexOf(',') >= 0) {
      parts = text.split(",", -1);
    } else {
      String[] halves = text.split("/", -1);
      if (halves.length > 2) return null;
      String[] components = halves[0].trim().split("\\s+");
      if (components.length != 3) return null;
      parts = halves.length == 1 ? components
                                 : new String[] {components[0], components[1], components[2],
                                     halves[1]};
    }
    if (parts.length != 3 && parts.length != 4) return null;
    for (int i = 0; i < parts.length; ++i) {
      parts[i] = parts[i].trim();
      if (!Syntax.kNumber.matcher(parts[i]).matches()) return null;
    }
    return parts;
  }

  private static Colour Rgb(String[] parts) {
    double[] values = new double[3];
    for (int i = 0; i < 3; ++i) {
      if (!IsPercentOrNumber(parts[i])) return null;
      values[i] = Number(parts[i], 255);
    }
    return WithAlpha(values, parts);
  }

  private static Colour Hsl(String[] parts) {
    if (!IsPercentOrNumber(parts[1]) || !IsPercentOrNumber(parts[2])) return null;
    Double hue = Hue(parts[0]);
    if (hue == null) return null;
    double saturation = Clamp(Number(parts[1], 100) / 100, 1);
    double lightness = Clamp(Number(parts[2], 100) / 100, 1);
    double a = saturation * Math.min(lightness, 1 - lightness);
    double[] values = new double[3];
    int[] offsets = {0, 8, 4};
    for (int i = 0; i < 3; ++i) {
      double k = ((offsets[i] + hue / 30) % 12 + 12) % 12;
      values[i] = 255 * (lightness - a * Math.max(-1, Math.min(Math.min(k - 3, 9 - k), 1)));
    }
    return WithAlpha(values, parts);
  }

  private static Colour WithAlpha(double[] values, String[] parts) {
    double alpha = 1;
    if (parts.length == 4) {
      if (!IsPercentOrNumber(parts[3])) return null;
      alpha = Number(parts[3], 1);
    }
    return new Colour(values[0], values[1], values[2], alpha);
  }

  private static boolean IsPercentOrNumber(String text) {
    char last = text.charAt(text.length() - 1);
    return last == '%' || Character.isDigit(last) || last == '.';
  }

  // A number, or a percentage of the given whole.
  private static double Number(String text, double whole) {
    if (!text.endsWith("%")) return Double.parseDouble(text);
    return Double.parseDouble(text.substring(0, text.length() - 1)) * whole / 100;
  }

  // A hue in degrees, from a number or an angle; null for a percentage.
  private static Double Hue(String text) {
    String[][] units = {{"deg", "1"}, {"grad", "0.9"}, {"rad", "57.29577951308232"},
        {"turn", "360"}};
    for (String[] unit : units) {
      if (text.endsWith(unit[0])) {
        String number = text.substring(0, text.length() - unit[0].length());
        return Double.parseDouble(number) * Double.parseDouble(unit[1]);
      }
    }
    return text.endsWith("%") ? null : Double.parseDouble(text);
  }

  private static double Clamp(double value, double most) {
    return value < 0 ? 0 : value > most ? most : value;
  }

  // --- The drawing ----------------------------------------------------------------------------

  /** What the drawing's root inherits: fill and stroke opaque. */
  static double[] Opaque() {
    return new double[] {1, 1, 1, 1};
  }

  // What a value needs: nothing for the forms Batik knows (none, currentColor, #rgb, #rrggbb,
  // its named colours, paint servers); otherwise the colour it gives, or null where it gives
  // none, which Batik then reports.
  static Colour ToRewrite(String value) {
    int n = value.length();
    if (n == 0) return null;
    char first = value.charAt(0);
    if (first == '#' && (n == 4 || n == 7)) return null;
    if (Character.isLetter(first) && value.indexOf('(') < 0 && n != 11 && n != 13) {
      return null;  // A name, not as long as "transparent" or "rebeccapurple".
    }
    if (value.startsWith("url(")) return null;
    return Parse(value);
  }

  /**
   * Rewrites the colours of one element (its children are the caller's walk's) that Batik would
   * refuse. inherited: for fill and stroke, the alpha of the colour in effect and the opacity
   * the drawing gives, each as the parent has them; returns what the children inherit.
   */
  static double[] Rewrite(Element element, double[] inherited) {
    double[] here = inherited;
    Declarations style = Declarations.Of(element.getAttribute("style"));
    for (int p = 0; p < kProperties.length; ++p) here = RewriteProperty(element, style, p, here);
    if (style != null && style.changed) element.setAttribute("style", style.toString());
    if ("style".equals(element.getLocalName())) RewriteSheet(element);
    return here;
  }

  // One property of one element; returns the state its children inherit, the same array
  // where nothing changed.
  private static double[] RewriteProperty(Element element, Declarations style, int p,
      double[] inherited) {
    String name = kProperties[p][0];
    String opacity_name = kProperties[p][1];
    boolean inherits = p < kInherited;
    String value = Value(element, style, name);
    Colour colour = ToRewrite(value);
    if (colour == null && (!inherits || inherited[2 * p] == 1)) {
      // Only an opacity of the element's own may matter, to its children.
      if (!inherits || !element.hasAttribute(opacity_name) && style == null) return inherited;
      String own = Value(element, style, opacity_name);
      return own.isEmpty() ? inherited : State(inherited, p, 1, Opacity(own));
    }
    double alpha = colour != null ? colour.alpha : 1;
    if (colour != null) {
      // "none" draws nothing at any opacity.
      String written = inherits && alpha == 0 ? "none" : colour.Rgb();
      if (inherits && alpha == 0) alpha = 1;
      Put(element, style, InStyle(style, name), name, written);
    }
    if (opacity_name == null) return inherited;
    if (inherits && (value.isEmpty() || value.equals("inherit"))) alpha = inherited[2 * p];
    String own = Value(element, style, opacity_name);
    double parent_alpha = inherits ? inherited[2 * p] : 1;
    double base = !own.isEmpty() ? Opacity(own) : inherits ? inherited[2 * p + 1] : 1;
    // An opacity of the element's own is multiplied; without one, the parent's is replaced
    // where the alpha differs from the one it carries.
    if (own.isEmpty() ? alpha != parent_alpha : alpha != 1) {
      boolean in_style = InStyle(style, own.isEmpty() ? name : opacity_name);
      Put(element, style, in_style, opacity_name, Decimal(base * alpha));
    }
    return inherits ? State(inherited, p, alpha, base) : inherited;
  }

  private static double[] State(double[] inherited, int p, double alpha, double base) {
    if (inherited[2 * p] == alpha && inherited[2 * p + 1] == base) return inherited;
    double[] here = inherited.clone();
    here[2 * p] = alpha;
    here[2 * p + 1] = base;
    return here;
  }

  // A property's value on an element: its style attribute's, else its own attribute's.
  static String Value(Element element, Declarations style, String name) {
    String value = InStyle(style, name) ? style.Get(name) : element.getAttribute(name);
    return value.trim();
  }

  private static boolean InStyle(Declarations style, String name) {
    return style != null && style.Get(name) != null;
  }

  private static void Put(Element element, Declarations style, boolean in_style, String name,
      String value) {
    if (in_style) style.Set(name, value);
    else element.setAttribute(name, value);
  }

  // An opacity as given, a number or a percentage; one where it is none, as Batik reports it.
  private static double Opacity(String text) {
    if (!Syntax.kNumber.matcher(text.toLowerCase(Locale.ROOT)).matches()) return 1;
    if (!IsPercentOrNumber(text)) return 1;
    return Clamp(Number(text, 1), 1);
  }

  private static String Decimal(double value) {
    return java.math.BigDecimal.valueOf(Math.round(value * 10000) / 10000.0).stripTrailingZeros()
        .toPlainString();
  }

  // A style sheet: each rule's declarations as a style attribute's, without inheritance.
  private static void RewriteSheet(Element sheet) {
    String text = sheet.getTextContent();
    if (text == null || text.isEmpty()) return;
    Matcher rule = Syntax.kRule.matcher(text);
    StringBuilder result = new StringBuilder();
    boolean changed = false;
    while (rule.find()) {
      Declarations declarations = Declarations.Of(rule.group(1));
      if (declarations != null) RewriteRule(declarations);
      String body = declarations != null && declarations.changed ? declarations.toString()
                                                                 : rule.group(1);
      changed |= declarations != null && declarations.changed;
      rule.appendReplacement(result, Matcher.quoteReplacement("{" + body + "}"));
    }
    if (!changed) return;
    rule.appendTail(result);
    while (sheet.getFirstChild() != null) sheet.removeChild(sheet.getFirstChild());
    sheet.appendChild(sheet.getOwnerDocument().createTextNode(result.toString()));
  }

  private static void RewriteRule(Declarations rule) {
    for (String[] property : kProperties) {
      String value = rule.Get(property[0]);
      Colour colour = value == null ? null : ToRewrite(value.trim());
      if (colour == null) continue;
      boolean none = colour.alpha == 0 && property[0].matches("fill|stroke");
      rule.Set(property[0], none ? "none" : colour.Rgb());
      if (none || property[1] == null || colour.alpha == 1) continue;
      String own = rule.Get(property[1]);
      rule.Set(property[1], Decimal((own == null ? 1 : Opacity(own.trim())) * colour.alpha));
    }
  }

  /** A declaration list (a style attribute, a rule's body), the last of each name winning. */
  static final class Declarations {
    private final List<String[]> list = new ArrayList<>();
    boolean changed;

    // Null where the text declares no colour, so plain styles cost one search.
    static Declarations Of(String text) {
      if (text.indexOf("color") < 0 && text.indexOf("fill") < 0 && text.indexOf("stroke") < 0) {
        return null;
      }
      return Parse(text);
    }

    // Null where the text declares nothing.
    static Declarations Parse(String text) {
      if (text.isEmpty()) return null;
      Declarations declarations = new Declarations();
      for (String part : text.split(";")) {
        int colon = part.indexOf(':');
        if (colon < 0) continue;
        declarations.list.add(new String[] {part.substring(0, colon).trim().toLowerCase(
            Locale.ROOT), part.substring(colon + 1)});
      }
      return declarations;
    }

    String Get(String name) {
      for (int i = list.size() - 1; i >= 0; --i) {
        if (list.get(i)[0].equals(name)) return list.get(i)[1];
      }
      return null;
    }

    void Set(String name, String value) {
      changed = true;
      for (int i = list.size() - 1; i >= 0; --i) {
        if (list.get(i)[0].equals(name)) {
          list.get(i)[1] = value;
          return;
        }
      }
      list.add(new String[] {name, value});
    }

    @Override
    public String toString() {
      StringBuilder text = new StringBuilder();
      for (String[] declaration : list) {
        text.append(declaration[0]).append(':').append(declaration[1]).append(';');
      }
      return text.toString();
    }
  }
}
