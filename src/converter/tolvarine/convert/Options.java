package tolvarine.convert;

import java.awt.Color;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

/** The converter's arguments: the two names, the page's lengths and its background. */
final class Options {
  static final String kUsageLine =
      "usage: <input.svg> [options] <output.pdf>, or <input.svg> -o <output.pdf> [options];"
          + " options: --width LENGTH, --height LENGTH, --background COLOR";

  String input;
  String output;
  Path target;  // the file the output names, its links followed
  Float width;  // pixels
  Float height;
  String size_option;  // the last of --width and --height as given, for messages
  Color background;
  // The folder the names are relative to: this process's own, or the one of the run a waiting
  // converter converts for.
  Path folder;

  Path Resolve(String name) {
    return folder == null ? Paths.get(name) : folder.resolve(name);
  }

  static Options Parse(String[] args) throws UsageError {
    Options options = new Options();
    List<String> names = new ArrayList<>();
    List<String> option_words = new ArrayList<>();  // as given, -o and its name aside
    boolean option_after_two_names = false;
    for (int i = 0; i < args.length; ++i) {
      String arg = args[i];
      boolean takes_value = arg.equals("-o") || arg.equals("--outfile") || arg.equals("--width")
          || arg.equals("--height") || arg.equals("--background");
      if (takes_value && i + 1 >= args.length) throw new UsageError(arg + " needs a value");
      if (arg.equals("-o") || arg.equals("--outfile")) {
        if (options.output != null) throw new UsageError("more than one output file");
        options.output = args[++i];
        continue;
      }
      if (arg.equals("--width")) {
        options.width = ParseLength(arg, args[i + 1]);
      } else if (arg.equals("--height")) {
        options.height = ParseLength(arg, args[i + 1]);
      } else if (arg.equals("--background")) {
        options.background = ParseColor(args[i + 1]);
      } else if (arg.startsWith("-") && !arg.equals("-")) {
        throw new UsageError("unknown option " + arg);
      } else {
        names.add(arg);
        continue;
      }
      if (!arg.equals("--background")) options.size_option = arg + " " + args[i + 1];
      option_words.add(arg);
      option_words.add(args[++i]);
      option_after_two_names |= names.size() >= 2;
    }
    int wanted = options.output == null ? 2 : 1;
    if (names.size() < wanted) throw new UsageError("an input and an output file are needed");
    if (names.size() > wanted) {
      throw new UsageError("one input and one output file only, not " + String.join(" ", names));
    }
    options.input = names.get(0);
    if (options.output == null) options.output = names.get(1);
    if (options.input.isEmpty() || options.output.isEmpty()) {
      throw new UsageError("a file name is empty");
    }
    // The launcher takes the last argument for the PDF, so an option after it would be taken
    // for the output's name there.
    if (option_after_two_names) {
      throw new UsageError("options go before the PDF's name: " + options.input + " "
          + String.join(" ", option_words) + " " + options.output);
    }
    return options;
  }

  // A length in pixels from a number with an optional unit.
  static float ParseLength(String option, String text) throws UsageError {
    String t = text.trim().toLowerCase(Locale.ROOT);
    double per_unit = 1.0;
    for (String unit : new String[] {"px", "pt", "mm", "cm", "in"}) {
      if (t.endsWith(unit)) {
        per_unit = PixelsPer(unit);
        t = t.substring(0, t.length() - unit.length()).trim();
        break;
      }
    }
    double value = Double.NaN;
    try {
      value = Double.parseDouble(t);
    } catch (NumberFormatException e) {
      // Reported below, with the option's name.
    }
    if (!(value > 0) || Double.isInfinite(value)) {
      throw new UsageError(option + " takes a positive length such as 210mm, 595pt or 800px, not "
          + text);
    }
    String side = PageSize.RefusedSide(value * per_unit);
    if (side != null) throw new UsageError(option + " " + text + " gives a page side of " + side);
    return (float) (value * per_unit);
  }

  private static double PixelsPer(String unit) {
    switch (unit) {
      case "pt": return PageSize.kPixelsPerInch / 72.0;
      case "mm": return PageSize.kPixelsPerInch / 25.4;
      case "cm": return PageSize.kPixelsPerInch / 2.54;
      case "in": return PageSize.kPixelsPerInch;
      default: return 1.0;
    }
  }

  // Any CSS colour; "transparent" or "none" for no background.
  static Color ParseColor(String text) throws UsageError {
    Colours.Colour colour = Colours.Parse(text);
    if (text.trim().equalsIgnoreCase("none") || colour != null && colour.alpha == 0) return null;
    if (colour == null) {
      throw new UsageError(
          "--background takes a colour such as white, #fff or #f0f0f0, not " + text);
    }
    // FOP paints the background opaque; a translucent one is shown as over white paper.
    double a = colour.alpha;
    return new Color((int) Math.round(colour.red * a + 255 * (1 - a)),
        (int) Math.round(colour.green * a + 255 * (1 - a)),
        (int) Math.round(colour.blue * a + 255 * (1 - a)));
  }
}
