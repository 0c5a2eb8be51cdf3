package tolvarine.convert;

import static java.nio.charset.StandardCharsets.UTF_8;

import java.io.BufferedOutputStream;
import java.io.ByteArrayInputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.net.URI;
import java.nio.file.FileVisitOption;
import java.nio.file.FileVisitResult;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.SimpleFileVisitor;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.PosixFileAttributeView;
import java.nio.file.attribute.PosixFilePermission;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.EnumSet;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;
import java.util.zip.CRC32;
import java.util.zip.CheckedOutputStream;
import org.apache.fop.Version;
import org.apache.fop.apps.io.InternalResourceResolver;
import org.apache.fop.apps.io.ResourceResolverFactory;
import org.apache.fop.configuration.Configuration;
import org.apache.fop.configuration.DefaultConfigurationBuilder;
import org.apache.fop.fonts.CustomFontCollection;
import org.apache.fop.fonts.DefaultFontConfig;
import org.apache.fop.fonts.DefaultFontConfigurator;
import org.apache.fop.fonts.EmbedFontInfo;
import org.apache.fop.fonts.EmbeddingMode;
import org.apache.fop.fonts.EncodingMode;
import org.apache.fop.fonts.FontCacheManagerFactory;
import org.apache.fop.fonts.FontDetectorFactory;
import org.apache.fop.fonts.FontInfo;
import org.apache.fop.fonts.FontManager;
import org.apache.fop.fonts.FontTriplet;
import org.apache.fop.fonts.FontUris;

/**
 * The machine's fonts as FOP's detection lists them, kept in a file of our own so that a
 * conversion neither walks the font folders with FOP nor reads FOP's font cache back (Java
 * deserialization, the largest part of a small drawing's time). The list is made once, by the
 * installation's sample conversion, beside the converter's jar; a user whose fonts differ gets
 * one in FOP's per-user folder, and a conversion never changes the installation. A list serves
 * only while the font folders hold exactly what they held when it was made: every file's and
 * folder's name, size and time go into its key.
 */
final class FontList {
  private static final String kMagic = "tolvarine font list";
  private static final int kFormat = 4;
  private static final String[] kGenericNames = {"sans-serif", "serif", "monospace"};
  private static final String kFileName = "tolvarine-fonts.list";
  // Set by the installation's sample conversion.
  private static final String kInstalling = "tolvarine.installing";

  private FontList() {}

  // Adds the machine's fonts to FOP's, numbered after its base fonts as FOP's own set-up
  // numbers them, from a list that is still true (its key as KeyOf gives it for the folders)
  // or from FOP's detection.
  // Returns the installed families and the ones fontconfig gives the generic names, as the
  // list holds them.
  static Fonts.Families AddTo(FontInfo fonts, List<File> folders, String key) throws Exception {
    Timings.Mark("the transcoder, the PDF document, FOP's base fonts");
    URI here = new File(".").getAbsoluteFile().toURI();
    InternalResourceResolver resolver =
        ResourceResolverFactory.createDefaultInternalResourceResolver(here);
    List<Path> places = Places();
    // Installing makes the installation's list, whatever list the user has; conversions leave
    // the installation as it was.
    boolean installing = Boolean.getBoolean(kInstalling);
    Path own = places.get(installing ? 0 : places.size() - 1);
    List<EmbedFontInfo> list = null;
    Map<String, String> generic = new HashMap<>();
    Map<String, List<FontChoice.Face>> families = new TreeMap<>();
    for (Path file : installing ? places.subList(0, 1) : places) {
      list = Read(file, key, generic, families);
      if (list != null) break;
    }
    boolean fresh = list != null;
    if (list == null) list = Detect(folders, here, resolver);
    new CustomFontCollection(resolver, list, false).setup(fonts.getFonts().size() + 1, fonts);
    if (!fresh) {
      // The families as the faces' names give them, worked out once for the list.
      families = Fonts.InstalledFamilies(fonts);
      generic = AskFontconfig();
      Write(list, generic, families, key, own);
    }
    Timings.Mark(fresh ? "the machine's fonts, from the list" : "the machine's fonts, detected");
    return new Fonts.Families(fonts, families, generic);
  }

  // The family fontconfig takes for each generic name, as rsvg-convert and browsers draw it
  // (Noto Sans for sans-serif where fonts-noto-core is installed); none where it cannot be
  // asked.
  private static Map<String, String> AskFontconfig() {
    Map<String, String> chosen = new HashMap<>();
    for (String name : kGenericNames) {
      try {
        Process match = new ProcessBuilder("fc-match", "-f", "%{family[0]}", name)
            .redirectErrorStream(true).redirectInput(ProcessBuilder.Redirect.PIPE).start();
        match.getOutputStream().close();
        String family = new String(match.getInputStream().readAllBytes(), UTF_8).trim();
        if (match.waitFor() == 0 && !family.isEmpty()) chosen.put(name, family);
      } catch (IOException e) {
        return chosen;  // No fontconfig: the converter's own order stands.
      } catch (InterruptedException e) {
        Thread.currentThread().interrupt();
        return chosen;
      }
    }
    return chosen;
  }

  // FOP's detection in the folders, with FOP's per-user font cache, as its PDF transcoder does
  // it (the font manager's own resource resolver reads a font that the cache does not hold).
  // FOP's auto-detection also walks the current folder and everything below it, which in a home
  // folder takes minutes (and never ends where a link leads back up), so the machine's font
  // folders, the ones auto-detection searches besides, are named instead. Built from text: a
  // configuration put together with addChild loses its children.
  private static List<EmbedFontInfo> Detect(List<File> folders, URI here,
      InternalResourceResolver resolver) throws Exception {
    StringBuilder text = new StringBuilder("<cfg><fonts>");
    for (File folder : folders) {
      text.append("<directory recursive=\"true\">").append(EscapeXml(folder.getPath()))
          .append("</directory>");
    }
    Configuration configuration = new DefaultConfigurationBuilder().build(
        new ByteArrayInputStream(text.append("</fonts></cfg>").toString().getBytes(UTF_8)));
    FontManager manager = new FontManager(resolver, FontDetectorFactory.createDefault(),
        FontCacheManagerFactory.createDefault());
    DefaultFontConfig parsed =
        new DefaultFontConfig.DefaultFontConfigParser().parse(configuration, false);
    return new DefaultFontConfigurator(manager, null, false).configure(parsed);
  }

  private static String EscapeXml(String text) {
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;");
  }

  // The installation's list, then the user's own.
  private static List<Path> Places() {
    List<Path> places = new ArrayList<>();
    try {
      Path jar = Paths.get(FontList.class.getProtectionDomain().getCodeSource().getLocation()
          .toURI());
      places.add(jar.resolveSibling(kFileName));
    } catch (Exception e) {
      // No folder of the converter's own: the user's list remains.
    }
    places.add(Paths.get(System.getProperty("user.home", ""), ".fop", kFileName)
        .toAbsolutePath());
    return places;
  }

  // The key of the font folders' list, and of fontconfig's choices, which follow its
  // configuration.
  static String KeyOf(List<File> folders) {
    List<File> keyed = new ArrayList<>(folders);
    keyed.add(new File("/etc/fonts"));
    keyed.add(new File(System.getProperty("user.home", ""), ".config/fontconfig"));
    return Key(keyed);
  }

  // What the list depends on: FOP's detection and every entry of the font folders.
  static String Key(List<File> folders) {
    StringBuilder key = new StringBuilder(kMagic).append(' ').append(kFormat).append('\n');
    key.append(Version.getVersion()).append('\n');
    try {
      Path fop = Paths.get(FontManager.class.getProtectionDomain().getCodeSource().getLocation()
          .toURI());
      // Not its folder: the class-data archive and the jar's manifest name it differently.
      key.append("FOP's jar ").append(Files.size(fop)).append(' ')
          .append(Files.getLastModifiedTime(fop).toMillis()).append('\n');
    } catch (Exception e) {
      key.append("FOP's jar unknown\n");
    }
    for (File folder : folders) {
      Path root = folder.toPath();
      int skipped = root.toString().length();
      key.append("folder ").append(root).append('\n');
      try {
        Files.walkFileTree(root, EnumSet.of(FileVisitOption.FOLLOW_LINKS), Integer.MAX_VALUE,
            new SimpleFileVisitor<Path>() {
              @Override
              public FileVisitResult preVisitDirectory(Path dir, BasicFileAttributes attributes) {
                return Entry(dir, attributes);
              }

              @Override
              public FileVisitResult visitFile(Path file, BasicFileAttributes attributes) {
                return Entry(file, attributes);
              }

              @Override
              public FileVisitResult visitFileFailed(Path file, IOException e) {
                key.append(file.toString(), skipped, file.toString().length())
                    .append(" unreadable\n");
                return FileVisitResult.CONTINUE;
              }

              private FileVisitResult Entry(Path path, BasicFileAttributes attributes) {
                // Each path below the folder, without the folder's name (cheaper than relativize).
                String name = path.toString();
                key.append(name, skipped, name.length())
                    .append(attributes.isDirectory() ? " d " : " ").append(attributes.size())
                    .append(' ')
                    .append(attributes.lastModifiedTime().toMillis()).append('\n');
                return FileVisitResult.CONTINUE;
              }
            });
      } catch (IOException e) {
        key.append("unreadable\n");
      }
    }
    return key.toString();
  }

  // The list in the file when its key is this one; null for any other, a damaged one, or one
  // that someone other than its folder's owner wrote or may change.
  static List<EmbedFontInfo> Read(Path file, String key, Map<String, String> generic,
      Map<String, List<FontChoice.Face>> families) {
    try {
      if (!Trusted(file)) return null;
      // Read whole and summed in one go: byte by byte through a checked stream costs more than
      // the list saves.
      byte[] bytes = Files.readAllBytes(file);
      if (bytes.length < Long.BYTES) return null;
      CRC32 sum = new CRC32();
      sum.update(bytes, 0, bytes.length - Long.BYTES);
      DataInputStream in = new DataInputStream(new ByteArrayInputStream(bytes));
      in.skipBytes(bytes.length - Long.BYTES);
      if (in.readLong() != sum.getValue()) return null;
      in = new DataInputStream(new ByteArrayInputStream(bytes, 0, bytes.length - Long.BYTES));
      if (!in.readUTF().equals(kMagic) || in.readInt() != kFormat) return null;
      byte[] key_bytes = key.getBytes(UTF_8);
      if (in.readInt() != key_bytes.length) return null;
      byte[] written_key = new byte[key_bytes.length];
      in.readFully(written_key);
      if (!Arrays.equals(written_key, key_bytes)) return null;
      List<EmbedFontInfo> list = new ArrayList<>();
      for (int count = in.readInt(); count > 0; --count) list.add(ReadFont(in));
      Map<String, String> chosen = new HashMap<>();
      for (int count = in.readInt(); count > 0; --count) chosen.put(in.readUTF(), in.readUTF());
      Map<String, List<FontChoice.Face>> named = new TreeMap<>();
      for (int count = in.readInt(); count > 0; --count) {
        List<FontChoice.Face> faces = new ArrayList<>();
        named.put(in.readUTF(), faces);
        for (int n = in.readInt(); n > 0; --n) {
          faces.add(new FontChoice.Face(in.readUTF(), in.readInt(), in.readUTF(), in.readInt()));
        }
      }
      if (in.available() != 0) return null;
      generic.putAll(chosen);
      families.putAll(named);
      return list;
    } catch (IOException | RuntimeException e) {
      return null;
    }
  }

  private static boolean Trusted(Path file) throws IOException {
    if (!Files.isRegularFile(file)
        || !Files.getOwner(file).equals(Files.getOwner(file.getParent()))) {
      return false;
    }
    PosixFileAttributeView posix = Files.getFileAttributeView(file, PosixFileAttributeView.class);
    if (posix == null) return true;
    Set<PosixFilePermission> permissions = posix.readAttributes().permissions();
    return !permissions.contains(PosixFilePermission.GROUP_WRITE)
        && !permissions.contains(PosixFilePermission.OTHERS_WRITE);
  }

  // Written whole beside its place and renamed over it; a list that cannot be written only
  // costs the next run its speed.
  static void Write(List<EmbedFontInfo> list, Map<String, String> generic,
      Map<String, List<FontChoice.Face>> families, String key, Path file) {
    Path temporary = null;
    try {
      Path folder = file.getParent();
      Files.createDirectories(folder);
      temporary = Files.createTempFile(folder, ".tolvarine-fonts-", ".tmp");
      // In a folder of someone else's the list would not be read.
      if (!Files.getOwner(temporary).equals(Files.getOwner(folder))) return;
      CRC32 sum = new CRC32();
      try (OutputStream raw = new BufferedOutputStream(Files.newOutputStream(temporary))) {
        DataOutputStream out = new DataOutputStream(new CheckedOutputStream(raw, sum));
        out.writeUTF(kMagic);
        out.writeInt(kFormat);
        byte[] key_bytes = key.getBytes(UTF_8);
        out.writeInt(key_bytes.length);
        out.write(key_bytes);
        out.writeInt(list.size());
        for (EmbedFontInfo font : list) WriteFont(out, font);
        out.writeInt(generic.size());
        for (Map.Entry<String, String> chosen : generic.entrySet()) {
          out.writeUTF(chosen.getKey());
          out.writeUTF(chosen.getValue());
        }
        out.writeInt(families.size());
        for (Map.Entry<String, List<FontChoice.Face>> family : families.entrySet()) {
          out.writeUTF(family.getKey());
          out.writeInt(family.getValue().size());
          for (FontChoice.Face face : family.getValue()) {
            out.writeUTF(face.key);
            out.writeInt(face.weight);
            out.writeUTF(face.style);
            out.writeInt(face.stretch);
          }
        }
        out.flush();
        new DataOutputStream(raw).writeLong(sum.getValue());
      }
      // Others may read the installation's list; no one else may change it.
      if (Files.getFileAttributeView(temporary, PosixFileAttributeView.class) != null) {
        Files.setPosixFilePermissions(temporary, PosixFilePermissions.fromString("rw-r--r--"));
      }
      Files.move(temporary, file, StandardCopyOption.ATOMIC_MOVE,
          StandardCopyOption.REPLACE_EXISTING);
      temporary = null;
    } catch (IOException | RuntimeException e) {
      // As above: the next run searches again.
    } finally {
      if (temporary != null) SafeOutput.Discard(temporary);
    }
  }

  private static void WriteFont(DataOutputStream out, EmbedFontInfo font) throws IOException {
    FontUris uris = font.getFontUris();
    for (URI uri : new URI[] {uris.getEmbed(), uris.getMetrics(), uris.getAfm(), uris.getPfm()}) {
      WriteText(out, uri == null ? null : uri.toString());
    }
    out.writeBoolean(font.getKerning());
    out.writeBoolean(font.getAdvanced());
    WriteText(out, font.getSubFontName());
    WriteText(out, font.getPostScriptName());
    out.writeUTF(font.getEncodingMode().getName());
    out.writeUTF(font.getEmbeddingMode().getName());
    out.writeBoolean(font.getSimulateStyle());
    out.writeBoolean(font.getEmbedAsType1());
    out.writeBoolean(font.getUseSVG());
    out.writeBoolean(font.isEmbedded());
    out.writeInt(font.getFontTriplets().size());
    for (FontTriplet triplet : font.getFontTriplets()) {
      out.writeUTF(triplet.getName());
      out.writeUTF(triplet.getStyle());
      out.writeInt(triplet.getWeight());
      out.writeInt(triplet.getPriority());
    }
  }

  private static EmbedFontInfo ReadFont(DataInputStream in) throws IOException {
    URI[] uris = new URI[4];
    for (int i = 0; i < uris.length; ++i) {
      String text = ReadText(in);
      uris[i] = text == null ? null : URI.create(text);
    }
    boolean kerning = in.readBoolean();
    boolean advanced = in.readBoolean();
    String sub_font = ReadText(in);
    String postscript_name = ReadText(in);
    EncodingMode encoding = EncodingMode.getValue(in.readUTF());
    EmbeddingMode embedding = EmbeddingMode.getValue(in.readUTF());
    boolean simulate_style = in.readBoolean();
    boolean as_type1 = in.readBoolean();
    boolean use_svg = in.readBoolean();
    boolean embedded = in.readBoolean();
    List<FontTriplet> triplets = new ArrayList<>();
    for (int count = in.readInt(); count > 0; --count) {
      triplets.add(new FontTriplet(in.readUTF(), in.readUTF(), in.readInt(), in.readInt()));
    }
    EmbedFontInfo font = new EmbedFontInfo(new FontUris(uris[0], uris[1], uris[2], uris[3]),
        kerning, advanced, triplets, sub_font, encoding, embedding, simulate_style, as_type1,
        use_svg);
    font.setPostScriptName(postscript_name);
    font.setEmbedded(embedded);
    return font;
  }

  private static void WriteText(DataOutputStream out, String text) throws IOException {
    out.writeBoolean(text != null);
    if (text != null) out.writeUTF(text);
  }

  private static String ReadText(DataInputStream in) throws IOException {
    return in.readBoolean() ? in.readUTF() : null;
  }
}
