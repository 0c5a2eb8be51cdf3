package tolvarine.convert;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.RandomAccessFile;
import java.lang.Character.UnicodeScript;
import java.lang.reflect.Field;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Collection;
import java.util.HashMap;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.apache.batik.bridge.Bridge;
import org.apache.batik.bridge.BridgeContext;
import org.apache.batik.bridge.CSSUtilities;
import org.apache.batik.bridge.DefaultFontFamilyResolver;
import org.apache.batik.bridge.FontFace;
import org.apache.batik.bridge.FontFamilyResolver;
import org.apache.batik.bridge.SVGTextElementBridge;
import org.apache.batik.css.engine.SVGCSSEngine;
import org.apache.batik.css.engine.value.Value;
import org.apache.batik.gvt.GraphicsNode;
import org.apache.batik.gvt.font.GVTFontFamily;
import org.apache.batik.transcoder.TranscoderException;
import org.apache.batik.transcoder.TranscoderOutput;
import org.apache.batik.util.SVGConstants;
import org.apache.fop.configuration.Configuration;
import org.apache.fop.configuration.ConfigurationException;
import org.apache.fop.fonts.FontInfo;
import org.apache.fop.fonts.FontTriplet;
import org.apache.fop.fonts.LazyFont;
import org.apache.fop.fonts.Typeface;
import org.apache.fop.fonts.autodetect.FontDirFinder;
import org.apache.fop.fonts.autodetect.MacFontDirFinder;
import org.apache.fop.fonts.autodetect.UnixFontDirFinder;
import org.apache.fop.fonts.autodetect.WindowsFontDirFinder;
import org.apache.fop.svg.AbstractFOPTextElementBridge;
import org.apache.fop.svg.NativeTextPainter;
import org.apache.fop.svg.PDFBridgeContext;
import org.apache.fop.svg.PDFTranscoder;
import org.apache.fop.svg.font.FOPFontFamilyResolverImpl;
import org.apache.fop.svg.font.FOPGVTFontFamily;
import org.w3c.dom.Document;
import org.w3c.dom.Element;
import org.w3c.dom.Node;
import org.w3c.dom.svg.SVGDocument;

/** The machine's fonts for the drawing's text, and the folder FOP keeps their list in. */
final class Fonts {
  private static List<File> font_folders = new ArrayList<>();
  private static String font_key;  // what the list of the fonts in them depends on

  private Fonts() {}

  // Before a conversion, and returns the key of the fonts found. The folders are found before
  // the home folder may be changed for the cache, which is changed once: a waiting converter
  // finds the folders again for each conversion, and compares the key with its own fonts'.
  static String FindFolders() {
    font_folders = FontFolders();
    if (SafeOutput.font_cache_folder == null) {
      SafeOutput.font_cache_folder = FontCacheFolderOfOurOwn();
    }
    font_key = FontList.KeyOf(font_folders);
    return font_key;
  }

  // FOP's transcoder with the machine's fonts found (FOP keeps their list in its per-user font
  // cache). The PDF base fonts cover Latin-1 only and are never embedded, so the generic
  // families and the base fonts' names are pointed at installed fonts, which FOP embeds as
  // subsets; a name with no installed stand-in keeps its base font.
  static final class InstalledFontsTranscoder extends PDFTranscoder {
    private final String size_option;
    private final GraphicsNode[] drawing = new GraphicsNode[1];
    private Fallback fallback;
    // While text that FOP cannot set (right to left, in fonts only Java reads) takes its fonts.
    private boolean java_fonts;
    private Families families;
    private Registering registering;  // FOP's resolver, registering the families asked for

    InstalledFontsTranscoder(String size_option) throws ConfigurationException {
      this.size_option = size_option;
    }

    // FOP's own font set-up only with its base fonts: the machine's fonts come from the list.
    @Override
    protected Configuration getEffectiveConfiguration() {
      return null;
    }

    // An image that cannot be read is not drawn, with a warning, where Batik would end the
    // conversion.
    @Override
    protected FOPTranscoderUserAgent createUserAgent() {
      return new FOPTranscoderUserAgent() {
        @Override
        public SVGDocument getBrokenLinkDocument(Element image, String url, String why) {
          return Leniency.BrokenImage(image, url, handler);
        }

        @Override
        public FontFamilyResolver getFontFamilyResolver() {
          if (java_fonts) return DefaultFontFamilyResolver.SINGLETON;
          FontFamilyResolver fop = super.getFontFamilyResolver();
          if (families == null || fop == null) return fop;
          if (registering == null || registering.fop != fop) {
            registering = new Registering(fop, families);
          }
          return registering;
        }
      };
    }

    // The page's size, from the options and the drawing's proportions, must be one that PDF
    // readers accept.
    @Override
    protected void setImageSize(float document_width, float document_height) {
      Timings.Mark("Batik's bridge and the drawing's graphics tree");
      float[] painted = PageSize.PaintedSize(ctx.getDocument().getDocumentElement(), drawing[0]);
      if (painted != null) {
        document_width = painted[0];
        document_height = painted[1];
      }
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
        families = FontList.AddTo(fonts, font_folders, font_key);
      } catch (Exception e) {
        throw new IllegalStateException("cannot set up the fonts: " + e.getMessage(), e);
      }
      // FOP's own, with the drawing's root kept for its painted size, and text in a font that
      // has its characters.
      FontInfo text_fonts = isTextStroked() ? null : fonts;
      Fallback fallback = isTextStroked() ? null : new Fallback(families);
      return new PDFBridgeContext(userAgent, text_fonts, getImageManager(),
          getImageSessionContext()) {
        @Override
        public void registerSVGBridges() {
          super.registerSVGBridges();
          putBridge(new PageSize.KeptRoot(drawing));
          if (fallback != null && UseFallback(this, fallback)) {
            InstalledFontsTranscoder.this.fallback = fallback;
          }
        }

        // FOP writes text one glyph a character in the order typed: right-to-left text would
        // come out reversed, and Arabic unjoined. Batik's own text bridge, with the fonts as
        // Java has them, orders and joins it, and draws it as shapes; so too text with
        // characters that only fonts FOP cannot read have, and text in a font of the drawing's
        // own (@font-face), which Java loads.
        @Override
        public Bridge getBridge(Element element) {
          if (text_fonts == null || !"text".equals(element.getLocalName())) {
            return super.getBridge(element);
          }
          String text = element.getTextContent();
          if (!RightToLeft(text) && !fallback.OnlyJavaCanDraw(text) && !OwnFont(element)) {
            return super.getBridge(element);
          }
          return new SVGTextElementBridge() {
            @Override
            public GraphicsNode createGraphicsNode(BridgeContext context, Element text) {
              java_fonts = true;
              try {
                return super.createGraphicsNode(context, text);
              } finally {
                java_fonts = false;
              }
            }

            @Override
            public void buildGraphicsNode(BridgeContext context, Element text, GraphicsNode node) {
              java_fonts = true;
              try {
                super.buildGraphicsNode(context, text, node);
              } finally {
                java_fonts = false;
              }
            }
          };
        }
      };
    }

    @Override
    protected void transcode(Document document, String uri, TranscoderOutput output)
        throws TranscoderException {
      super.transcode(document, uri, output);
      if (fallback != null && handler instanceof Messages.Report) {
        fallback.WarnMissing(document.getDocumentElement(), (Messages.Report) handler);
      }
    }
  }

  private static final String kFontFaces = "tolvarine.font-faces";
  private static final Pattern kFontFace = Pattern.compile(
      "@font-face\\s*\\{[^}]*?font-family\\s*:\\s*['\"]?([^;'\"}]+)", Pattern.CASE_INSENSITIVE);

  // The families a style sheet's @font-face rules give the drawing, kept with its document.
  static void NoteFontFaces(Document document, String sheet) {
    Matcher face = kFontFace.matcher(sheet);
    while (face.find()) {
      @SuppressWarnings("unchecked")
      Set<String> families = (Set<String>) document.getUserData(kFontFaces);
      if (families == null) {
        families = new HashSet<>();
        document.setUserData(kFontFaces, families, null);
      }
      families.add(face.group(1).trim().toLowerCase(Locale.ROOT));
    }
  }

  // Whether the text's font families name one of the drawing's own @font-face fonts, which FOP
  // cannot load and Java can.
  static boolean OwnFont(Element text) {
    Object families = text.getOwnerDocument().getUserData(kFontFaces);
    if (families == null) return false;
    Value list = CSSUtilities.getComputedStyle(text, SVGCSSEngine.FONT_FAMILY_INDEX);
    for (int i = 0; i < list.getLength(); ++i) {
      String family = list.item(i).getStringValue().toLowerCase(Locale.ROOT);
      if (((Set<?>) families).contains(family)) return true;
    }
    return false;
  }

  static boolean RightToLeft(String text) {
    for (int i = 0; i < text.length(); ++i) {
      byte direction = Character.getDirectionality(text.charAt(i));
      if (direction == Character.DIRECTIONALITY_RIGHT_TO_LEFT
          || direction == Character.DIRECTIONALITY_RIGHT_TO_LEFT_ARABIC) {
        return true;
      }
    }
    return false;
  }

  // FOP's text painter searches the fonts for a character itself, through a resolver that it
  // keeps to itself (its class is not public); the fallback takes that resolver's place. Where
  // FOP's classes differ, FOP's own search stays.
  private static boolean UseFallback(BridgeContext context, Fallback fallback) {
    try {
      Object bridge = context.getBridge(SVGConstants.SVG_NAMESPACE_URI, SVGConstants.SVG_TEXT_TAG);
      Field painter = AbstractFOPTextElementBridge.class.getDeclaredField("textPainter");
      painter.setAccessible(true);
      Field resolver = NativeTextPainter.class.getDeclaredField("fontFamilyResolver");
      resolver.setAccessible(true);
      resolver.set(painter.get(bridge), fallback);
      return true;
    } catch (ReflectiveOperationException | RuntimeException e) {
      return false;
    }
  }

  // The installed families and their faces. FOP guesses a face's weight and slant from a few
  // words of its full name, so that "Thin" counts as regular and "Old Italic" as italic, and
  // the first face found of a weight wins: NotoSans-Thin would draw the regular text.
  static Map<String, List<FontChoice.Face>> InstalledFamilies(FontInfo fonts) {
    Map<String, List<FontTriplet>> names = new HashMap<>();
    for (Map.Entry<FontTriplet, String> entry : fonts.getFontTriplets().entrySet()) {
      // Only the installed fonts: the PDF base fonts are never embedded.
      if (!(fonts.getFonts().get(entry.getValue()) instanceof LazyFont)) continue;
      names.computeIfAbsent(entry.getValue(), key -> new ArrayList<>()).add(entry.getKey());
    }
    Map<String, String> full_names = new HashMap<>();
    Set<String> family_names = new HashSet<>();
    for (Map.Entry<String, List<FontTriplet>> face : names.entrySet()) {
      // A family's name comes with a priority, the full name without.
      String full_name = null;
      for (FontTriplet triplet : face.getValue()) {
        String name = triplet.getName();
        if (triplet.getPriority() > 0) family_names.add(name);
        if (triplet.getPriority() == 0 && (full_name == null || Better(name, full_name))) {
          full_name = name;
        }
      }
      full_names.put(face.getKey(), full_name);
    }
    Map<String, Map<String, FontChoice.Face>> families = new TreeMap<>();
    for (Map.Entry<String, List<FontTriplet>> face : names.entrySet()) {
      String key = face.getKey();
      String full_name = full_names.get(key);
      int weight = WeightClass(fonts.getFonts().get(key));
      for (FontTriplet triplet : face.getValue()) {
        if (triplet.getPriority() > 0) Add(families, triplet.getName(), key, full_name, weight);
      }
      // Where another face of its weight took the family's name first ("Lato Regular" after
      // "Lato Thin"), the face is still the family's.
      for (int end = full_name.indexOf(' '); ; end = full_name.indexOf(' ', end + 1)) {
        String family = end < 0 ? full_name : full_name.substring(0, end);
        if ((end < 0 || family_names.contains(family))
            && FontChoice.OnlyTraits(full_name.substring(family.length()))) {
          Add(families, family, key, full_name, weight);
        }
        if (end < 0) break;
      }
    }
    Map<String, List<FontChoice.Face>> result = new TreeMap<>();
    for (Map.Entry<String, Map<String, FontChoice.Face>> family : families.entrySet()) {
      result.put(family.getKey(), new ArrayList<>(family.getValue().values()));
    }
    return result;
  }

  // A full name has blanks, FOP's other names for a face ("Lato-Regular") none.
  private static boolean Better(String name, String than) {
    boolean blank = name.indexOf(' ') >= 0;
    return blank != (than.indexOf(' ') >= 0) ? blank : name.length() > than.length();
  }

  private static void Add(Map<String, Map<String, FontChoice.Face>> families, String family,
      String key, String full_name, int weight) {
    FontChoice.Face face = FontChoice.FromName(key, family, full_name);
    if (weight > 0) face = new FontChoice.Face(key, weight, face.style, face.stretch);
    families.computeIfAbsent(family, f -> new TreeMap<>()).putIfAbsent(key, face);
  }

  // The weight a font's own OS/2 table gives it, as fontconfig takes it (Lato's Hairline 100
  // and Thin 200, where their names would say Thin 100); 0 where it has none or is one of a
  // collection.
  static int WeightClass(Typeface font) {
    if (!(font instanceof LazyFont) || ((LazyFont) font).getFontURI() == null) return 0;
    try (RandomAccessFile file =
        new RandomAccessFile(new File(((LazyFont) font).getFontURI()), "r")) {
      int version = file.readInt();
      if (version != 0x00010000 && version != 0x4F54544F) return 0;  // TrueType or "OTTO"
      int tables = file.readUnsignedShort();
      for (int i = 0; i < tables; ++i) {
        file.seek(12 + 16 * i);
        if (file.readInt() != 0x4F532F32) continue;  // "OS/2"
        file.readInt();
        file.seek(file.readInt() + 4L);
        int weight = file.readUnsignedShort();
        return weight >= 1 && weight <= 1000 ? weight : 0;
      }
    } catch (IOException | RuntimeException e) {
      // The name's weight serves.
    }
    return 0;
  }

  private static final String[] kStyles = {"normal", "italic", "oblique"};

  /**
   * The installed families, each registered under a name the drawing asks for the first time
   * it does: every face of every family at every weight costs more than a small drawing's
   * whole conversion.
   */
  static final class Families {
    final FontInfo fonts;
    final Map<String, List<FontChoice.Face>> installed;
    private final Map<String, String> generic;  // fontconfig's families for the generic names
    private final Set<String> registered = new HashSet<>();

    Families(FontInfo fonts, Map<String, List<FontChoice.Face>> installed,
        Map<String, String> generic) {
      this.fonts = fonts;
      this.installed = installed;
      this.generic = generic;
    }

    // Each weight and style of the name takes the face CSS font matching chooses in the
    // installed family, or in the one that stands in for it (Liberation Sans for Arial).
    void Register(String name) {
      if (name == null || !registered.add(name)) return;
      String family = FontChoice.Family(name, installed.keySet(), generic);
      if (family != null) Fonts.Register(fonts, name, installed.get(family));
    }
  }

  // FOP's resolver of the drawing's families, each registered as it is asked for.
  private static final class Registering implements FontFamilyResolver {
    final FontFamilyResolver fop;
    private final Families families;

    Registering(FontFamilyResolver fop, Families families) {
      this.fop = fop;
      this.families = families;
    }

    @Override
    public GVTFontFamily resolve(String name) {
      families.Register(name);
      return fop.resolve(name);
    }

    @Override
    public GVTFontFamily resolve(String name, FontFace face) {
      families.Register(name);
      return fop.resolve(name, face);
    }

    @Override
    public GVTFontFamily loadFont(InputStream in, FontFace face) throws Exception {
      return fop.loadFont(in, face);
    }

    @Override
    public GVTFontFamily getDefault() {
      return fop.getDefault();
    }

    @Override
    public GVTFontFamily getFamilyThatCanDisplay(char c) {
      return fop.getFamilyThatCanDisplay(c);
    }
  }

  // Every weight and style of the name takes the face that CSS font matching chooses among the
  // family's, ahead of FOP's own registrations.
  private static void Register(FontInfo fonts, String name, List<FontChoice.Face> faces) {
    for (String style : kStyles) {
      for (int weight = 100; weight <= 900; weight += 100) {
        FontChoice.Face face =
            FontChoice.Choose(faces, weight, style, FontChoice.kNormalStretch);
        fonts.addFontProperties(face.key, new FontTriplet(name, style, weight, -1));
      }
    }
  }

  // A character that the text's fonts lack is drawn, as browsers draw it, with an installed
  // family that has it: one made for its script, else one of the broad ones. FOP's own search
  // reads every installed font, and finds none where none has it, so that the character
  // silently becomes "#"; these characters get a warning instead.
  static final class Fallback extends FOPFontFamilyResolverImpl {
    private static final String[] kBroad = {"DejaVu Sans", "Noto Sans", "Liberation Sans",
        "FreeSans", "FreeSerif", "Noto Sans Symbols", "Noto Sans Symbols2", "Noto Sans Math",
        "Droid Sans Fallback", "Symbola", "Unifont"};
    private final FontInfo fonts;
    private final Families registry;
    private final Collection<String> families;
    private final Map<Character, FOPGVTFontFamily> found = new HashMap<>();
    private final Set<Character> missing = new HashSet<>();

    Fallback(Families families) {
      super(families.fonts);
      this.fonts = families.fonts;
      this.registry = families;
      this.families = families.installed.keySet();
    }

    @Override
    public FOPGVTFontFamily getFamilyThatCanDisplay(char c) {
      FOPGVTFontFamily family = Find(c);
      if (family == null && !Character.isWhitespace(c)) missing.add(c);
      return family;
    }

    private FOPGVTFontFamily Find(char c) {
      if (found.containsKey(c)) return found.get(c);
      FOPGVTFontFamily family = null;
      for (String name : Candidates(c)) {
        FontTriplet triplet = new FontTriplet(name, "normal", 400);
        String key = fonts.getInternalFontKey(triplet);
        if (key != null && fonts.getFonts().get(key).hasChar(c)) {
          registry.Register(name);
          family = new FOPGVTFontFamily(fonts, name, triplet, null);
          break;
        }
      }
      found.put(c, family);
      return family;
    }

    // Whether the text has a character that none of the fonts FOP can read has, but one of
    // the fonts Java reads does (the Noto CJK fonts, whose outlines FOP cannot read). A
    // character that neither has is missing.
    boolean OnlyJavaCanDraw(String text) {
      boolean java = false;
      for (int i = 0; i < text.length(); ++i) {
        char c = text.charAt(i);
        if (c < 0x250 || Character.isWhitespace(c) || Find(c) != null) continue;
        if (Character.isSurrogate(c)
            || DefaultFontFamilyResolver.SINGLETON.getFamilyThatCanDisplay(c) == null) {
          missing.add(c);
        } else {
          java = true;
        }
      }
      return java;
    }

    // The installed families named after the character's script ("Noto Sans Devanagari"),
    // the sans-serif ones first, then the broad ones.
    private List<String> Candidates(char c) {
      List<String> names = new ArrayList<>();
      String script = FontChoice.Script(c)[0].toLowerCase(Locale.ROOT);
      if (!Character.isSurrogate(c) && UnicodeScript.of(c) != UnicodeScript.COMMON) {
        for (String family : families) {
          String name = family.toLowerCase(Locale.ROOT);
          if (name.contains(" " + script)) names.add(name.contains(" sans ") ? 0 : names.size(),
              family);
        }
      }
      names.addAll(List.of(kBroad));
      return names;
    }

    // One warning an element and script, naming the characters and the package that has them.
    void WarnMissing(Element root, Messages.Report report) {
      if (missing.isEmpty()) return;
      for (Node node = root; node != null; node = Next(node, root)) {
        if (node.getNodeType() != Node.TEXT_NODE && node.getNodeType() != Node.CDATA_SECTION_NODE
            || !kTextElements.contains(node.getParentNode().getLocalName())) {
          continue;
        }
        Map<String, StringBuilder> scripts = new LinkedHashMap<>();
        String text = node.getNodeValue();
        for (int i = 0; i < text.length(); i += Character.charCount(text.codePointAt(i))) {
          int c = text.codePointAt(i);
          if (!missing.contains(text.charAt(i))) continue;
          String[] script = FontChoice.Script(c);
          StringBuilder characters =
              scripts.computeIfAbsent(script[0] + "\n" + script[1], s -> new StringBuilder());
          // A private-use character shows as nothing: its code is shown instead.
          if (script[1].isEmpty()) {
            characters.append(String.format(Locale.ROOT, "U+%04X", c));
          } else {
            characters.appendCodePoint(c);
          }
        }
        for (Map.Entry<String, StringBuilder> script : scripts.entrySet()) {
          String[] parts = script.getKey().split("\n", -1);
          report.Warn((Element) node.getParentNode(), "no installed font can draw the " + parts[0]
              + " characters of \"" + script.getValue() + "\"; drawn as \"#\""
              + (parts[1].isEmpty() ? "" : "; install " + parts[1]));
        }
      }
    }
  }

  private static final Set<String> kTextElements =
      Set.of("text", "tspan", "textPath", "a", "altGlyph", "tref");

  private static Node Next(Node node, Node root) {
    if (node.getFirstChild() != null) return node.getFirstChild();
    for (Node n = node; n != null && n != root; n = n.getParentNode()) {
      if (n.getNextSibling() != null) return n.getNextSibling();
    }
    return null;
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
}
