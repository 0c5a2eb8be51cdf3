// The converter's entry point: one SVG drawing to one PDF file, through Batik and FOP's PDF
// transcoder.
//
//   TolvarineConvert <input.svg> [options] <output.pdf>
//   TolvarineConvert <input.svg> (-o|--outfile) <output.pdf> [options]
//   options: --width LENGTH, --height LENGTH (px, pt, mm, cm, in), --background COLOR
//
// Without -o the PDF is the last argument, as the launcher takes it. It never destroys
// anything: the input is only read, the PDF is written into a temporary file beside the output,
// flushed to disk and moved over it only after a complete conversion. A usage error exits with
// 2 before any file is touched; a failed or stopped conversion exits with 1 (or the signal's
// status) and leaves the output as it was. Every message is one line.
import java.awt.Color;
import static java.nio.charset.StandardCharsets.UTF_8;

import java.io.BufferedOutputStream;
import java.io.File;
import java.io.ByteArrayInputStream;
import java.io.FilterOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.math.BigDecimal;
import java.math.MathContext;
import java.nio.channels.Channels;
import java.nio.channels.FileChannel;
import java.nio.charset.Charset;
import java.nio.file.AccessDeniedException;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
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
      "usage: <input.svg> [options] <output.pdf>, or <input.svg> -o <output.pdf> [options];"
          + " options: --width LENGTH, --height LENGTH, --background COLOR";
  // CSS pixels: 96 per inch, the unit of an SVG drawing without units.
  private static final double kPixelsPerInch = 96.0;
  // The page sides PDF readers accept, in points.
  private static final double kSmallestSide = 1.0;
  private static final double kLargestSide = 14400.0;
  private static final boolean kWindows =
      System.getProperty("os.name", "").toLowerCase(Locale.ROOT).startsWith("windows");

  private static final class UsageError extends Exception {
    private static final long serialVersionUID = 1L;

    UsageError(String message) {
      super(message);
    }
  }

  private static final class Options {
    String input;
    String output;
    Path target;  // the file the output names, its links followed
    Float width;  // pixels
    Float height;
    String size_option;  // the last of --width and --height as given, for messages
    Color background;
  }

  // A page side out of range, found when the drawing's proportions give it.
  private static final class PageSideError extends RuntimeException {
    private static final long serialVersionUID = 1L;

    PageSideError(String message) {
      super(message);
    }
  }

  private TolvarineConvert() {}

  public static void main(String[] args) {
    SilenceLogging();
    Options options;
    try {
      options = ParseArguments(args);
      RefuseNamesTheSystemCannotTake(options.input, options.output);
      RefuseUnsafeOutput(options);
    } catch (UsageError | InvalidPathException e) {
      ExitWithUsageError(e.getMessage());
      return;
    }
    Runtime.getRuntime().addShutdownHook(new Thread(TolvarineConvert::RemoveOwnFiles));
    System.out.println("Converting " + options.input + " to " + options.output);
    font_folders = FontFolders();  // before the home folder may be changed for the cache
    font_cache_folder = FontCacheFolderOfOurOwn();
    String failure;
    try {
      failure = Convert(options);
    } catch (UsageError e) {
      ExitWithUsageError(e.getMessage());
      return;
    }
    if (failure != null) {
      System.err.println(failure);
      System.exit(kFailed);
    }
    System.out.println("Done.");
  }

  private static void ExitWithUsageError(String message) {
    System.err.println("Error: " + message + " (" + kUsageLine + ")");
    System.exit(kUsage);
  }

  // --- Arguments ------------------------------------------------------------------------------

  static Options ParseArguments(String[] args) throws UsageError {
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
    String side = RefusedSide(value * per_unit);
    if (side != null) throw new UsageError(option + " " + text + " gives a page side of " + side);
    return (float) (value * per_unit);
  }

  // Why a side of so many pixels is no page side, or null when it is one.
  static String RefusedSide(double pixels) {
    double points = pixels * 72.0 / kPixelsPerInch;
    // A hair of tolerance, so that 1pt and 200in, converted through pixels, stay inside.
    if (points >= kSmallestSide * (1 - 1e-6) && points <= kLargestSide * (1 + 1e-6)) return null;
    String shown = points >= 0.01 && points < 1e6
        ? new BigDecimal(points).round(new MathContext(3)).stripTrailingZeros().toPlainString()
        : String.format(Locale.ROOT, "%.3g", points);
    return String.format(Locale.ROOT, "%s pt; a side must be from %.0f pt to %.0f pt", shown,
        kSmallestSide, kLargestSide);
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

  // Java reads the command line in the system's file-name encoding and puts U+FFFD for the bytes
  // it cannot decode; a file opened under such a name would be another file.
  static void RefuseNamesTheSystemCannotTake(String... names) throws UsageError {
    Charset charset = FileNameCharset();
    for (String name : names) {
      if (name.indexOf('\uFFFD') < 0
          && name.equals(new String(name.getBytes(charset), charset))) {
        continue;
      }
      throw new UsageError("the name " + name.replace('\uFFFD', '?') + " is not valid in the"
          + " system's file-name encoding (" + charset.name() + ")");
    }
  }

  static Charset FileNameCharset() {
    for (String property : new String[] {"sun.jnu.encoding", "native.encoding"}) {
      try {
        return Charset.forName(System.getProperty(property));
      } catch (IllegalArgumentException | NullPointerException e) {
        // Not set, or unknown to this Java: the next guess.
      }
    }
    return Charset.defaultCharset();
  }

  // The output must never be the drawing itself, under another name or through a link, and a
  // drawing's name as the output is taken for names in the wrong order. Only a regular file is
  // replaced: a rename over a device or a FIFO would replace the system's node. A name that ends
  // in a separator names a folder, which Java would quietly drop.
  static void RefuseUnsafeOutput(Options options) throws UsageError {
    String name = options.output;
    if (name.endsWith("/") || name.endsWith(File.separator)) {
      throw new UsageError("the output " + name + " ends in " + name.charAt(name.length() - 1)
          + ", a folder's name");
    }
    // Windows drops a name's trailing dots and blanks: "plan.svg." is plan.svg.
    String lower = (kWindows ? name.replaceAll("[. ]+$", "") : name).toLowerCase(Locale.ROOT);
    if (lower.endsWith(".svg") || lower.endsWith(".svgz")) {
      throw new UsageError("the output " + name + " is a drawing's name; the PDF goes"
          + " last, or after -o");
    }
    Path input = Paths.get(options.input);
    try {
      options.target = FollowLinks(Paths.get(name));
    } catch (IOException e) {
      throw new UsageError("cannot follow the link " + name + ": " + Describe(e));
    }
    try {
      if (Files.exists(options.target) && Files.exists(input)
          && Files.isSameFile(input, options.target)) {
        throw new UsageError("the output " + name + " is the input file");
      }
    } catch (IOException e) {
      throw new UsageError("cannot compare " + options.input + " with " + name + ": "
          + Describe(e));
    }
    if (Files.isDirectory(options.target)) {
      throw new UsageError("the output " + name + " is a folder");
    }
    if (Files.exists(options.target) && !Files.isRegularFile(options.target)) {
      throw new UsageError("the output " + name + " is not a regular file (a device, a FIFO or"
          + " a socket)");
    }
  }

  // The file a name stands for: a link is followed to the name it holds, also where that file
  // does not exist yet, so the PDF is written there and the link stays.
  static Path FollowLinks(Path path) throws IOException {
    Path current = path.toAbsolutePath();
    for (int hops = 0; Files.isSymbolicLink(current); ++hops) {
      if (hops == 40) throw new IOException("too many levels of links");
      current = current.resolveSibling(Files.readSymbolicLink(current));
    }
    return current;
  }

  // --- Conversion -----------------------------------------------------------------------------

  // Converts, and returns nothing on success or the one line that says why it failed; a page
  // side that the drawing's proportions put out of range is a usage error.
  static String Convert(Options options) throws UsageError {
    Path output = options.target;
    Path temporary = null;
    WriteWatch watch = null;
    String file = options.input;  // whose problem a failure is
    try {
      Document document = LoadDrawing(options.input);
      GiveViewBoxDrawingsTheirSize(document.getDocumentElement());
      file = options.output;
      // A PDF the user may not write stays protected, although its folder would allow a rename.
      if (Files.exists(output) && !Files.isWritable(output)) {
        throw new AccessDeniedException(options.output);
      }
      temporary = CreateTemporaryBeside(output);
      watch = new WriteWatch(FileChannel.open(temporary, StandardOpenOption.WRITE));
      file = options.input;
      try (OutputStream out = new BufferedOutputStream(watch)) {
        Transcode(document, options, out);
      }
      file = options.output;
      KeepPermissions(output, temporary);
      MoveOverUnlessStopped(temporary, output);
      temporary = null;
      ForceFolder(output.getParent());
      return null;
    } catch (Throwable t) {
      for (Throwable cause = t; cause != null; cause = Cause(cause)) {
        if (cause instanceof PageSideError) throw new UsageError(cause.getMessage());
      }
      return Explain(t, options.input, watch != null && watch.failed ? options.output : file);
    } finally {
      if (temporary != null) {
        synchronized (kStopLock) {
          try {
            Files.deleteIfExists(temporary);
          } catch (Throwable ignored) {
            // The conversion has failed already; its reason is the one to show.
          }
          pending_temporary = null;  // Its name may be another run's from now on.
        }
      }
    }
  }

  // Tells a failed write of the PDF (a full disk) from the drawing's own problems. Closing it
  // puts the file's bytes on the disk first, so that a crash after the rename cannot leave an
  // empty PDF.
  private static final class WriteWatch extends FilterOutputStream {
    private final FileChannel channel;
    boolean failed;

    WriteWatch(FileChannel channel) {
      super(Channels.newOutputStream(channel));
      this.channel = channel;
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
      if (!channel.isOpen()) return;
      try {
        try {
          out.flush();
          channel.force(true);
        } finally {
          out.close();
        }
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

  // The temporary file is this run's to remove when the run is stopped (a signal ends the JVM
  // through its shutdown hooks), and once stopping has begun no rename may put a PDF in place.
  private static final Object kStopLock = new Object();
  private static boolean stopping;
  private static Path pending_temporary;
  private static Path font_cache_folder;

  static void RemoveOwnFiles() {
    synchronized (kStopLock) {
      stopping = true;
      if (pending_temporary != null) {
        try {
          Files.deleteIfExists(pending_temporary);
        } catch (IOException e) {
          // Nothing more can be done while the JVM ends.
        }
      }
    }
    RemoveTree(font_cache_folder);
  }

  static void MoveOverUnlessStopped(Path temporary, Path output) throws IOException {
    synchronized (kStopLock) {
      if (stopping) throw new IOException("the conversion was stopped");
      MoveOver(temporary, output);
      pending_temporary = null;
    }
  }

  // The rename reaches the disk with its folder. Where a folder cannot be opened as a file
  // (Windows), the system keeps the rename as it does any other.
  static void ForceFolder(Path folder) {
    try (FileChannel channel = FileChannel.open(folder, StandardOpenOption.READ)) {
      channel.force(true);
    } catch (IOException | RuntimeException e) {
      // The PDF is in place; only its durability across a crash is as the system gives it.
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

  // A name no other run picks, in the output's folder so that the last step is a rename, and of
  // a fixed, short length, so that any name the output may have leaves room for it. It is made
  // like any new file (the umask applies), so the PDF gets the usual permissions.
  static Path CreateTemporaryBeside(Path output) throws IOException {
    Path folder = output.getParent();
    for (int attempt = 0; ; ++attempt) {
      String random = Long.toString(ThreadLocalRandom.current().nextLong(36L * 36 * 36 * 36 * 36
          * 36), 36);
      String name = ".tolv-" + "000000".substring(random.length()) + random + ".tmp";
      try {
        synchronized (kStopLock) {
          if (stopping) throw new IOException("the conversion was stopped");
          pending_temporary = Files.createFile(folder.resolve(name));
          return pending_temporary;
        }
      } catch (FileAlreadyExistsException e) {
        if (attempt >= 100) throw e;
      }
    }
  }

  static void Transcode(Document document, Options options, OutputStream out) throws Exception {
    PDFTranscoder transcoder = new InstalledFontsTranscoder(options.size_option);
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
    private final String size_option;

    InstalledFontsTranscoder(String size_option) throws ConfigurationException {
      this.size_option = size_option;
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

    // The page's size, from the options and the drawing's proportions, must be one that PDF
    // readers accept.
    @Override
    protected void setImageSize(float document_width, float document_height) {
      super.setImageSize(document_width, document_height);
      if (size_option == null) return;
      String[] sides = {RefusedSide(width), RefusedSide(height)};
      for (int i = 0; i < 2; ++i) {
        if (sides[i] == null) continue;
        throw new PageSideError(size_option + " gives this drawing a page "
            + (i == 0 ? "width" : "height") + " of " + sides[i]);
      }
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
