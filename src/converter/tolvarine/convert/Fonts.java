package tolvarine.convert;

import java.io.File;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;
import org.apache.batik.bridge.BridgeContext;
import org.apache.fop.configuration.ConfigurationException;
import org.apache.fop.configuration.Configuration;
import org.apache.fop.fonts.FontInfo;
import org.apache.fop.fonts.FontTriplet;
import org.apache.fop.fonts.autodetect.FontDirFinder;
import org.apache.fop.fonts.autodetect.MacFontDirFinder;
import org.apache.fop.fonts.autodetect.UnixFontDirFinder;
import org.apache.fop.fonts.autodetect.WindowsFontDirFinder;
import org.apache.fop.svg.PDFTranscoder;

/** The machine's fonts for the drawing's text, and the folder FOP keeps their list in. */
final class Fonts {
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

  private static List<File> font_folders = new ArrayList<>();
  private static Path font_cache_folder;

  private Fonts() {}

  // Before the home folder may be changed for the cache.
  static void FindFolders() {
    font_folders = FontFolders();
    font_cache_folder = FontCacheFolderOfOurOwn();
  }

  // FOP's transcoder with the machine's fonts found (FOP keeps their list in its per-user font
  // cache). The PDF base fonts cover Latin-1 only and are never embedded, so the generic
  // families and the base fonts' names are pointed at installed fonts, which FOP embeds as
  // subsets; a name with no installed stand-in keeps its base font.
  static final class InstalledFontsTranscoder extends PDFTranscoder {
    private final String size_option;

    InstalledFontsTranscoder(String size_option) throws ConfigurationException {
      this.size_option = size_option;
    }

    // FOP's own font set-up only with its base fonts: the machine's fonts come from the list.
    @Override
    protected Configuration getEffectiveConfiguration() {
      return null;
    }

    // The page's size, from the options and the drawing's proportions, must be one that PDF
    // readers accept.
    @Override
    protected void setImageSize(float document_width, float document_height) {
      Timings.Mark("Batik's bridge and the drawing's graphics tree");
      super.setImageSize(document_width, document_height);
      if (size_option == null) return;
      String[] sides = {PageSize.RefusedSide(width), PageSize.RefusedSide(height)};
      for (int i = 0; i < 2; ++i) {
        if (sides[i] == null) continue;
        throw new PageSize.PageSideError(size_option + " gives this drawing a page "
            + (i == 0 ? "width" : "height") + " of " + sides[i]);
      }
    }

    @Override
    public BridgeContext createBridgeContext(String version) {
      graphics = new PageSize.ExactPage(graphics, isTextStroked());
      FontInfo fonts = graphics.getFontInfo();
      try {
        FontList.AddTo(fonts, font_folders);
      } catch (Exception e) {
        throw new IllegalStateException("cannot set up the fonts: " + e.getMessage(), e);
      }
      for (String[][] group : new String[][][] {kSansNames, kSerifNames, kMonospaceNames}) {
        String installed = FirstInstalled(fonts, group[1]);
        if (installed != null) PointAt(fonts, group[0], installed);
      }
      return super.createBridgeContext(version);
    }
  }

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

  static void RemoveCacheFolder() {
    Path folder = font_cache_folder;
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
}
