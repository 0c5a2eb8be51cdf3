// The converter's entry point: one SVG drawing to one PDF file, through Batik and FOP's PDF
// transcoder.
//
//   TolvarineConvert <input.svg> (-o|--outfile) <output.pdf> [options]
//   TolvarineConvert <input.svg> <output.pdf> [options]
//   options: --width LENGTH, --height LENGTH (px, pt, mm, cm, in), --background COLOR
//
// It never destroys anything: the input is only read, the PDF is written into a temporary file
// beside the output and moved over it only after a complete conversion. A usage error exits
// with 2 before any file is touched; a failed conversion exits with 1 and leaves the output as
// it was. Every message is one line.
import java.awt.Color;
import static java.nio.charset.StandardCharsets.UTF_8;

import java.io.BufferedOutputStream;
import java.io.File;
import java.io.ByteArrayInputStream;
import java.io.FilterOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.AccessDeniedException;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.TreeMap;
import java.util.concurrent.ThreadLocalRandom;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.apache.batik.anim.dom.SAXSVGDocumentFactory;
import org.apache.batik.bridge.BridgeContext;
import org.apache.batik.transcoder.ErrorHandler;
import org.apache.batik.transcoder.TranscoderException;
import org.apache.batik.transcoder.TranscoderInput;
import org.apache.batik.transcoder.TranscoderOutput;
import org.apache.batik.transcoder.TranscodingHints;
import org.apache.batik.transcoder.image.ImageTranscoder;
import org.apache.batik.util.XMLResourceDescriptor;
import org.apache.fop.configuration.ConfigurationException;
import org.apache.fop.configuration.DefaultConfigurationBuilder;
import org.apache.fop.fonts.FontInfo;
import org.apache.fop.fonts.FontTriplet;
import org.apache.fop.fonts.autodetect.FontDirFinder;
import org.apache.fop.fonts.autodetect.MacFontDirFinder;
import org.apache.fop.fonts.autodetect.UnixFontDirFinder;
import org.apache.fop.fonts.autodetect.WindowsFontDirFinder;
import org.apache.fop.svg.PDFTranscoder;
import org.w3c.dom.Document;
import org.w3c.dom.Element;
import org.xml.sax.SAXParseException;

public final class TolvarineConvert {
  private static final int kFailed = 1;
  private static final int kUsage = 2;
  private static final String kUsageLine =
      "usage: <input.svg> [-o] <output.pdf> [--width LENGTH] [--height LENGTH]"
          + " [--background COLOR]";
  // CSS pixels: 96 per inch, the unit of an SVG drawing without units.
  private static final double kPixelsPerInch = 96.0;

  private static final class UsageError extends Exception {
    private static final long serialVersionUID = 1L;

    UsageError(String message) {
      super(message);
    }
  }

  private static final class Options {
    String input;
    String output;
    Float width;  // pixels
    Float height;
    Color background;
  }

  private TolvarineConvert() {}

  public static void main(String[] args) {
    SilenceLogging();
    Options options;
    try {
      options = ParseArguments(args);
      RefuseToOverwriteTheInput(options);
    } catch (UsageError | InvalidPathException e) {
      System.err.println("Error: " + e.getMessage() + " (" + kUsageLine + ")");
      System.exit(kUsage);
      return;
    }
    System.out.println("Converting " + options.input + " to " + options.output);
    font_folders = FontFolders();  // before the home folder may be changed for the cache
    Path font_cache_folder = FontCacheFolderOfOurOwn();
    String failure = Convert(options);
    RemoveTree(font_cache_folder);
    if (failure != null) {
      System.err.println(failure);
      System.exit(kFailed);
    }
    System.out.println("Done.");
  }

  // --- Arguments ------------------------------------------------------------------------------

  static Options ParseArguments(String[] args) throws UsageError {
    Options options = new Options();
    List<String> names = new ArrayList<>();
    for (int i = 0; i < args.length; ++i) {
      String arg = args[i];
      boolean takes_value = arg.equals("-o") || arg.equals("--outfile") || arg.equals("--width")
          || arg.equals("--height") || arg.equals("--background");
      if (takes_value && i + 1 >= args.length) throw new UsageError(arg + " needs a value");
      if (arg.equals("-o") || arg.equals("--outfile")) {
        if (options.output != null) throw new UsageError("more than one output file");
        options.output = args[++i];
      } else if (arg.equals("--width")) {
        options.width = ParseLength(arg, args[++i]);
      } else if (arg.equals("--height")) {
        options.height = ParseLength(arg, args[++i]);
      } else if (arg.equals("--background")) {
        options.background = ParseColor(args[++i]);
      } else if (arg.startsWith("-") && !arg.equals("-")) {
        throw new UsageError("unknown option " + arg);
      } else {
        names.add(arg);
      }
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
    try {
      double value = Double.parseDouble(t);
      if (value > 0 && value < 1e6 && !Double.isNaN(value)) return (float) (value * per_unit);
    } catch (NumberFormatException e) {
      // Reported below, with the option's name.
    }
    throw new UsageError(option + " takes a positive length such as 210mm, 595pt or 800px, not "
        + text);
  }

  private static double PixelsPer(String unit) {
    switch (unit) {
      case "pt": return kPixelsPerInch / 72.0;
      case "mm": return kPixelsPerInch / 25.4;
      case "cm": return kPixelsPerInch / 2.54;
      case "in": return kPixelsPerInch;
      default: return 1.0;
    }
  }

  private static final Map<String, String> kColorNames = new TreeMap<>();
  static {
    String[] pairs = {"black", "000000", "white", "ffffff", "red", "ff0000", "green", "008000",
        "lime", "00ff00", "blue", "0000ff", "yellow", "ffff00", "cyan", "00ffff", "aqua",
        "00ffff", "magenta", "ff00ff", "fuchsia", "ff00ff", "gray", "808080", "grey", "808080",
        "silver", "c0c0c0", "maroon", "800000", "olive", "808000", "navy", "000080", "purple",
        "800080", "teal", "008080", "orange", "ffa500"};
    for (int i = 0; i < pairs.length; i += 2) kColorNames.put(pairs[i], pairs[i + 1]);
  }

  // #rgb, #rrggbb, a basic colour name, or "transparent" (no background).
  static Color ParseColor(String text) throws UsageError {
    String t = text.trim().toLowerCase(Locale.ROOT);
    if (t.equals("transparent") || t.equals("none")) return null;
    String hex = kColorNames.getOrDefault(t, t.startsWith("#") ? t.substring(1) : "");
    if (hex.length() == 3) {
      hex = "" + hex.charAt(0) + hex.charAt(0) + hex.charAt(1) + hex.charAt(1) + hex.charAt(2)
          + hex.charAt(2);
    }
    if (hex.matches("[0-9a-f]{6}")) return new Color(Integer.parseInt(hex, 16));
    throw new UsageError(
        "--background takes a colour such as white, #fff or #f0f0f0, not " + text);
  }

  // The output must never be the drawing itself, under another name or through a link, and a
  // drawing's name as the output is taken for names in the wrong order.
  static void RefuseToOverwriteTheInput(Options options) throws UsageError {
    String lower = options.output.toLowerCase(Locale.ROOT);
    if (lower.endsWith(".svg") || lower.endsWith(".svgz")) {
      throw new UsageError("the output " + options.output + " is a drawing's name; the PDF goes"
          + " second, or after -o");
    }
    Path input = Paths.get(options.input);
    Path output = Paths.get(options.output);
    try {
      if (Files.exists(output) && Files.exists(input) && Files.isSameFile(input, output)) {
        throw new UsageError("the output " + options.output + " is the input file");
      }
    } catch (IOException e) {
      throw new UsageError("cannot compare " + options.input + " with " + options.output + ": "
          + Describe(e));
    }
    if (Files.isDirectory(output)) {
      throw new UsageError("the output " + options.output + " is a folder");
    }
  }

  // --- Conversion -----------------------------------------------------------------------------

  // Converts, and returns nothing on success or the one line that says why it failed.
  static String Convert(Options options) {
    Path output = Paths.get(options.output).toAbsolutePath();
    Path temporary = null;
    WriteWatch watch = null;
    String file = options.input;  // whose problem a failure is
    try {
      Document document = LoadDrawing(options.input);
      GiveViewBoxDrawingsTheirSize(document.getDocumentElement());
      file = options.output;
      // An output that is a link is written where it points, so the link stays.
      if (Files.exists(output)) output = output.toRealPath();
      // A PDF the user may not write stays protected, although its folder would allow a rename.
      if (Files.exists(output) && !Files.isWritable(output)) {
        throw new AccessDeniedException(options.output);
      }
      temporary = CreateTemporaryBeside(output);
      watch = new WriteWatch(Files.newOutputStream(temporary));
      file = options.input;
      try (OutputStream out = new BufferedOutputStream(watch)) {
        Transcode(document, options, out);
      }
      file = options.output;
      KeepPermissions(output, temporary);
      MoveOver(temporary, output);
      temporary = null;
      return null;
    } catch (Throwable t) {
      return Explain(t, options.input, watch != null && watch.failed ? options.output : file);
    } finally {
      if (temporary != null) {
        try {
          Files.deleteIfExists(temporary);
        } catch (Throwable ignored) {
          // The conversion has failed already; its reason is the one to show.
        }
      }
    }
  }

  // Tells a failed write of the PDF (a full disk) from the drawing's own problems.
  private static final class WriteWatch extends FilterOutputStream {
    boolean failed;

    WriteWatch(OutputStream out) {
      super(out);
    }

    @Override
    public void write(byte[] bytes, int offset, int length) throws IOException {
      try {
        out.write(bytes, offset, length);
      } catch (IOException e) {
        failed = true;
        throw e;
      }
    }

    @Override
    public void write(int b) throws IOException {
      write(new byte[] {(byte) b}, 0, 1);
    }

    @Override
    public void close() throws IOException {
      try {
        out.close();
      } catch (IOException e) {
        failed = true;
        throw e;
      }
    }
  }

  // A PDF that is replaced keeps who may read and write it.
  static void KeepPermissions(Path output, Path temporary) throws IOException {
    if (!Files.exists(output)) return;
    try {
      Files.setPosixFilePermissions(temporary, Files.getPosixFilePermissions(output));
    } catch (UnsupportedOperationException e) {
      // Windows: the new file takes its folder's permissions, as any new file does.
    }
  }

  // A rename in one folder replaces the output at once; a file system that cannot promise that
  // still gets a plain rename, which never leaves a half-written output either.
  static void MoveOver(Path temporary, Path output) throws IOException {
    try {
      Files.move(temporary, output, StandardCopyOption.REPLACE_EXISTING,
          StandardCopyOption.ATOMIC_MOVE);
    } catch (AtomicMoveNotSupportedException e) {
      Files.move(temporary, output, StandardCopyOption.REPLACE_EXISTING);
    }
  }

  static Document LoadDrawing(String input) throws IOException {
    Path path = Paths.get(input);
    if (!Files.isRegularFile(path)) {
      throw Files.exists(path) ? new IOException("not a file") : new NoSuchFileException(input);
    }
    SAXSVGDocumentFactory factory =
        new SAXSVGDocumentFactory(XMLResourceDescriptor.getXMLParserClassName());
    return factory.createDocument(path.toAbsolutePath().toUri().toString());
  }

  // A drawing with a viewBox and without width and height takes the viewBox's size in pixels,
  // as browsers and other converters do, instead of a fixed square.
  static void GiveViewBoxDrawingsTheirSize(Element root) {
    String[] box = root.getAttribute("viewBox").trim().split("[\\s,]+");
    if (box.length != 4) return;
    double box_width;
    double box_height;
    try {
      box_width = Double.parseDouble(box[2]);
      box_height = Double.parseDouble(box[3]);
    } catch (NumberFormatException e) {
      return;  // Batik reports the malformed viewBox itself.
    }
    if (!(box_width > 0 && box_height > 0)) return;
    boolean has_width = !root.getAttribute("width").isEmpty();
    boolean has_height = !root.getAttribute("height").isEmpty();
    if (!has_width && !has_height) {
      root.setAttribute("width", Double.toString(box_width));
      root.setAttribute("height", Double.toString(box_height));
    } else if (has_width != has_height) {
      Double given = PlainPixels(root.getAttribute(has_width ? "width" : "height"));
      if (given == null) return;
      if (has_width) root.setAttribute("height", Double.toString(given * box_height / box_width));
      else root.setAttribute("width", Double.toString(given * box_width / box_height));
    }
  }

  private static Double PlainPixels(String text) {
    String t = text.trim();
    if (t.endsWith("px")) t = t.substring(0, t.length() - 2);
    try {
      return Double.parseDouble(t);
    } catch (NumberFormatException e) {
      return null;
    }
  }

  // A name no other run picks, in the output's folder so that the last step is a rename. It is
  // made like any new file (the umask applies), so the PDF gets the usual permissions.
  static Path CreateTemporaryBeside(Path output) throws IOException {
    Path folder = output.getParent();
    for (int attempt = 0; ; ++attempt) {
      String name = "." + output.getFileName() + "."
          + Long.toHexString(ThreadLocalRandom.current().nextLong() & 0xffffffffffL) + ".tmp";
      try {
        Path temporary = Files.createFile(folder.resolve(name));
        temporary.toFile().deleteOnExit();
        return temporary;
      } catch (FileAlreadyExistsException e) {
        if (attempt >= 100) throw e;
      }
    }
  }

  static void Transcode(Document document, Options options, OutputStream out) throws Exception {
    PDFTranscoder transcoder = new InstalledFontsTranscoder();
    TranscodingHints hints = new TranscodingHints(transcoder.getTranscodingHints());
    if (options.width != null) hints.put(PDFTranscoder.KEY_WIDTH, options.width);
    if (options.height != null) hints.put(PDFTranscoder.KEY_HEIGHT, options.height);
    if (options.background != null) {
      hints.put(ImageTranscoder.KEY_BACKGROUND_COLOR, options.background);
    }
    transcoder.setTranscodingHints(hints);
    FailOnError handler = new FailOnError();
    transcoder.setErrorHandler(handler);
    try {
      transcoder.transcode(new TranscoderInput(document), new TranscoderOutput(out));
    } catch (RuntimeException e) {
      // FOP turns some reported errors (an image that cannot be read) into a bare
      // RuntimeException; the reported error holds the reason.
      if (handler.reported != null) throw handler.reported;
      throw e;
    }
  }

  // Warnings (an unknown attribute, a missing glyph) are not worth a line each; errors end the
  // conversion with their own message.
  private static final class FailOnError implements ErrorHandler {
    TranscoderException reported;

    @Override
    public void warning(TranscoderException e) {}

    @Override
    public void error(TranscoderException e) throws TranscoderException {
      if (reported == null) reported = e;
      throw e;
    }

    @Override
    public void fatalError(TranscoderException e) throws TranscoderException {
      error(e);
    }
  }

  // --- Fonts --------------------------------------------------------------------------------

  // The names that stand for a kind of face (the generic families, Java's and the PDF base
  // fonts'), each with the installed families that may take its place, best first.
  private static final String[][] kSansNames = {
      {"sans-serif", "SansSerif", "Helvetica", "Arial", "any"},
      {"DejaVu Sans", "Liberation Sans", "Noto Sans", "FreeSans"}};
  private static final String[][] kSerifNames = {
      {"serif", "Serif", "Times", "Times-Roman", "Times Roman", "Times New Roman"},
      {"DejaVu Serif", "Liberation Serif", "Noto Serif", "FreeSerif"}};
  private static final String[][] kMonospaceNames = {
      {"monospace", "Monospaced", "Courier", "Courier New"},
      {"DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono", "FreeMono"}};

  // FOP's transcoder with the machine's fonts found (FOP keeps their list in its per-user font
  // cache). The PDF base fonts cover Latin-1 only and are never embedded, so the generic
  // families and the base fonts' names are pointed at installed fonts, which FOP embeds as
  // subsets; a name with no installed stand-in keeps its base font.
  private static final class InstalledFontsTranscoder extends PDFTranscoder {
    InstalledFontsTranscoder() throws ConfigurationException {
      // FOP's auto-detection also walks the current folder and everything below it, which in a
      // home folder takes minutes (and never ends where a link leads back up). The machine's
      // font folders, the ones auto-detection searches besides, are named instead.
      // Built from text: a configuration put together with addChild loses its children.
      StringBuilder text = new StringBuilder("<cfg><fonts>");
      for (File folder : font_folders) {
        text.append("<directory recursive=\"true\">").append(EscapeXml(folder.getPath()))
            .append("</directory>");
      }
      byte[] configuration = text.append("</fonts></cfg>").toString().getBytes(UTF_8);
      configure(new DefaultConfigurationBuilder().build(new ByteArrayInputStream(configuration)));
    }

    @Override
    public BridgeContext createBridgeContext(String version) {
      FontInfo fonts = graphics.getFontInfo();
      for (String[][] group : new String[][][] {kSansNames, kSerifNames, kMonospaceNames}) {
        String installed = FirstInstalled(fonts, group[1]);
        if (installed != null) PointAt(fonts, group[0], installed);
      }
      return super.createBridgeContext(version);
    }
  }

  private static List<File> font_folders = new ArrayList<>();

  // The system's font folders and the user's own, those that exist.
  static List<File> FontFolders() {
    List<File> folders = new ArrayList<>();
    String system = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
    try {
      FontDirFinder finder = system.startsWith("windows") ? new WindowsFontDirFinder()
          : system.startsWith("mac") ? new MacFontDirFinder()
                                     : new UnixFontDirFinder();
      folders.addAll(finder.find());
    } catch (IOException | RuntimeException e) {
      // No system folder can be named: the user's own and FOP's base fonts remain.
    }
    File own = new File(System.getProperty("user.home", ""), ".local/share/fonts");
    if (own.isDirectory() && !folders.contains(own)) folders.add(own);
    return folders;
  }

  static String EscapeXml(String text) {
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;");
  }

  private static String FirstInstalled(FontInfo fonts, String[] families) {
    for (String family : families) {
      if (fonts.getInternalFontKey(new FontTriplet(family, "normal", 400)) != null) return family;
    }
    return null;
  }

  // Each style and weight of the names becomes the installed family's nearest face.
  private static void PointAt(FontInfo fonts, String[] names, String installed) {
    List<String> name_list = Arrays.asList(names);
    List<FontTriplet> generic = new ArrayList<>();
    for (FontTriplet triplet : fonts.getFontTriplets().keySet()) {
      if (name_list.contains(triplet.getName())) generic.add(triplet);
    }
    for (FontTriplet triplet : generic) {
      String key = NearestFace(fonts, installed, triplet.getStyle(), triplet.getWeight());
      if (key != null) fonts.addFontProperties(key, triplet);
    }
  }

  private static String NearestFace(FontInfo fonts, String family, String style, int weight) {
    String slanted = style.equals("normal") ? "normal" : "italic";
    String[] styles = {style, slanted, style.equals("italic") ? "oblique" : style, "normal"};
    for (String candidate : styles) {
      for (int w : new int[] {weight, weight >= 600 ? 700 : 400, 400}) {
        String key = fonts.getInternalFontKey(new FontTriplet(family, candidate, w));
        if (key != null) return key;
      }
    }
    return null;
  }

  // --- Messages -------------------------------------------------------------------------------

  // The parts of Batik and FOP that log (missing glyphs, font detection) must not reach the
  // user: their findings either do not matter or end the conversion with a message.
  // FOP keeps its font cache in ~/.fop. Where that cannot be written it writes into a .fop
  // folder of the shared temporary folder, where another user may have put a link in its way,
  // and without a home folder it reads and writes ".fop" in the current folder, among the
  // user's drawings. The cache then goes to a folder of this run's own (the user's alone),
  // removed at the end. Null when the user's own folder serves.
  static Path FontCacheFolderOfOurOwn() {
    try {
      Path cache = Paths.get(System.getProperty("user.home", ""), ".fop").toAbsolutePath();
      boolean usable = Files.exists(cache) ? Files.isWritable(cache)
                                           : Files.isWritable(cache.getParent());
      if (usable) return null;
      Path own = Files.createTempDirectory("tolvarine-fonts-");
      System.setProperty("user.home", own.toString());
      return own;
    } catch (IOException | RuntimeException e) {
      return null;  // No folder of our own: FOP's own choice stands.
    }
  }

  static void RemoveTree(Path folder) {
    if (folder == null) return;
    try (java.util.stream.Stream<Path> entries = Files.walk(folder)) {
      entries.sorted(java.util.Comparator.reverseOrder()).forEach(path -> {
        try {
          Files.deleteIfExists(path);
        } catch (IOException e) {
          // What cannot be removed stays in the user's own temporary folder: harmless.
        }
      });
    } catch (IOException e) {
      // As above.
    }
  }

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

  private static final Pattern kBatikLocation = Pattern.compile("^file:\\S*:(-?\\d+) (.*)$");

  private static Throwable Cause(Throwable t) {
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
