package tolvarine.convert;

import java.io.File;
import java.io.FilterOutputStream;
import java.io.IOException;
import java.nio.channels.Channels;
import java.nio.channels.FileChannel;
import java.nio.charset.Charset;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.util.Locale;
import java.util.concurrent.ThreadLocalRandom;

/**
 * The PDF is written so that nothing is ever lost: names that would harm a file are refused,
 * the PDF goes into a temporary file beside the output, reaches the disk and is renamed over
 * the output only when complete, and a stopped run removes what it made.
 */
final class SafeOutput {
  private static final boolean kWindows =
      System.getProperty("os.name", "").toLowerCase(Locale.ROOT).startsWith("windows");

  // The temporary file is this run's to remove when the run is stopped (a signal ends the JVM
  // through its shutdown hooks), and once stopping has begun no rename may put a PDF in place.
  private static final Object kStopLock = new Object();
  private static boolean stopping;
  private static Path pending_temporary;
  // The folder of this run's own that FOP's font cache went into, if any.
  static volatile Path font_cache_folder;

  private SafeOutput() {}

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
    Path input = options.Resolve(options.input);
    try {
      options.target = FollowLinks(options.Resolve(name));
    } catch (IOException e) {
      throw new UsageError("cannot follow the link " + name + ": " + Messages.Describe(e));
    }
    try {
      if (Files.exists(options.target) && Files.exists(input)
          && Files.isSameFile(input, options.target)) {
        throw new UsageError("the output " + name + " is the input file");
      }
    } catch (IOException e) {
      throw new UsageError("cannot compare " + options.input + " with " + name + ": "
          + Messages.Describe(e));
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

  // Removes a temporary file that the conversion gave up on.
  static void Discard(Path temporary) {
    synchronized (kStopLock) {
      try {
        Files.deleteIfExists(temporary);
      } catch (Throwable ignored) {
        // The conversion has failed already; its reason is the one to show.
      }
      pending_temporary = null;  // Its name may be another run's from now on.
    }
  }

  // Tells a failed write of the PDF (a full disk) from the drawing's own problems. Closing it
  // puts the file's bytes on the disk first, so that a crash after the rename cannot leave an
  // empty PDF.
  static final class WriteWatch extends FilterOutputStream {
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

  // Run by the shutdown hook.
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
    RemoveCacheFolder();
  }

  private static void RemoveCacheFolder() {
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

  static void MoveOverUnlessStopped(Path temporary, Path output) throws IOException {
    synchronized (kStopLock) {
      if (stopping) throw new IOException("the conversion was stopped");
      MoveOver(temporary, output);
      pending_temporary = null;
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

  // The rename reaches the disk with its folder. Where a folder cannot be opened as a file
  // (Windows), the system keeps the rename as it does any other.
  static void ForceFolder(Path folder) {
    try (FileChannel channel = FileChannel.open(folder, StandardOpenOption.READ)) {
      channel.force(true);
    } catch (IOException | RuntimeException e) {
      // The PDF is in place; only its durability across a crash is as the system gives it.
    }
  }
}
