package tolvarine.convert;

import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.net.ProtocolFamily;
import java.net.SocketAddress;
import java.net.StandardProtocolFamily;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.channels.FileLock;
import java.nio.channels.ServerSocketChannel;
import java.nio.channels.SocketChannel;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardOpenOption;
import java.util.concurrent.TimeUnit;
import org.apache.batik.ext.awt.image.spi.ImageTagRegistry;

/**
 * A converter that waits for the next conversion. Java's libraries take longer to start than
 * most drawings take to draw, so a run that finds no converter waiting starts one, and the next
 * runs hand their conversions to it (the installation's lib/tolvarine-hand does that part). Only
 * runs of the same user, installation, Java options, environment and umask meet the same
 * converter, so that a handed conversion is the conversion the run would have made itself. It
 * listens on a socket in a folder only the user may enter, converts one drawing at a time, ends
 * after its idle seconds, and ends at once when the run it converts for is stopped, its
 * temporary file removed.
 *
 * A run asks with its key, its current folder and its arguments (each a 4-byte length and its
 * bytes; the count of arguments is a 4-byte number) and is told "Y" or "N" (another run's
 * conversion is under way, or the key is another's). After a "Y", what the conversion writes
 * comes in pieces ("o" or "e" for the stream, a 4-byte length, the bytes), and last "x" with
 * the exit status as a 4-byte number.
 */
final class Server {
  // Java's heap and its JIT state are renewed now and then.
  private static final int kMostConversions = 500;
  private static final int kLongestWaitMs = 600_000;
  private static final long kCollectAfterNanos = 1_000_000_000L;
  // Beside the converter's jar.
  private static final String kWarmUpDrawing = "tolvarine-classes.svg";
  private static final int kMostArguments = 1000;
  private static final int kLongestText = 1 << 20;
  private static final byte kAccepted = 'Y';
  private static final byte kDeclined = 'N';
  private static final byte kOut = 'o';
  private static final byte kErr = 'e';
  private static final byte kEnd = 'x';

  private Server() {}

  // Server IDLE-SECONDS KEY FOLDER RUN: listens on FOLDER/KEY.sock, which the folder's lock
  // file KEY.lock keeps to one converter, once the run that started it (process RUN) has ended.
  public static void main(String[] args) throws Exception {
    int idle = Integer.parseInt(args[0]);
    String key = args[1];
    Path folder = Paths.get(args[2]);
    long run = Long.parseLong(args[3]);
    Path socket = folder.resolve(key + ".sock");
    Path lock_path = folder.resolve(key + ".lock");
    FileChannel lock_file = FileChannel.open(lock_path, StandardOpenOption.CREATE,
        StandardOpenOption.WRITE);
    // Another converter may be ending, or starting for a run at the same moment.
    FileLock lock = null;
    for (int attempt = 0; attempt < 20 && lock == null; ++attempt) {
      lock = lock_file.tryLock();
      if (lock == null) Thread.sleep(50);
    }
    if (lock == null) return;
    Messages.SilenceLogging();
    // The run that started this converter converts meanwhile, and takes the processor first;
    // then a conversion of the installation's own drawing loads what conversions need, so that
    // the next run's is not the first.
    ProcessHandle starter = ProcessHandle.of(run).orElse(null);
    for (int waited = 0; starter != null && starter.isAlive() && waited < kLongestWaitMs;
         waited += 25) {
      Thread.sleep(25);
    }
    // The fonts that Java's own font list, made once, is made from.
    String fonts = Fonts.FindFolders();
    WarmUp(folder);
    Files.deleteIfExists(socket);
    ServerSocketChannel listener = (ServerSocketChannel) ServerSocketChannel.class
        .getMethod("open", ProtocolFamily.class)
        .invoke(null, StandardProtocolFamily.valueOf("UNIX"));
    listener.bind((SocketAddress) Class.forName("java.net.UnixDomainSocketAddress")
        .getMethod("of", Path.class).invoke(null, socket));
    Runtime.getRuntime().addShutdownHook(new Thread() {
      @Override
      public void run() {
        try {
          Files.deleteIfExists(socket);
          // A converter starting meanwhile may take the lock of the file removed and another
          // converter a new one: the one whose socket is then taken ends when idle.
          Files.deleteIfExists(lock_path);
        } catch (IOException e) {
          // The next run finds nobody listening and starts another converter.
        }
        SafeOutput.RemoveOwnFiles();
      }
    });
    new Waiting(key, listener, idle, fonts).Serve();
  }

  private static void WarmUp(Path folder) {
    try {
      Path jar = Paths.get(Server.class.getProtectionDomain().getCodeSource().getLocation()
          .toURI());
      Path drawing = jar.resolveSibling(kWarmUpDrawing);
      Path pdf = folder.resolve("warm-up-" + ProcessHandle.current().pid() + ".pdf");
      if (!Files.isRegularFile(drawing)) return;
      Main.ConvertAndReport(Main.Checked(new String[] {drawing.toString(), pdf.toString()},
          null));
      Files.deleteIfExists(pdf);
    } catch (Exception e) {
      // Not warmed: the first conversion handed over loads what it needs itself.
    }
  }

  private static final class Waiting {
    private final String key;
    private final ServerSocketChannel listener;
    private final long idle_nanos;
    private final String fonts;
    private final PrintStream quiet_out = System.out;
    private final PrintStream quiet_err = System.err;
    private boolean busy;
    private boolean collected = true;
    private long last = System.nanoTime();
    private int conversions;

    Waiting(String key, ServerSocketChannel listener, int idle, String fonts) {
      this.key = key;
      this.listener = listener;
      this.idle_nanos = TimeUnit.SECONDS.toNanos(idle);
      this.fonts = fonts;
    }

    void Serve() throws IOException {
      Thread clock = new Thread("idle") {
        @Override
        public void run() {
          while (true) {
            try {
              Thread.sleep(250);
            } catch (InterruptedException e) {
              return;
            }
            boolean collect;
            synchronized (Waiting.this) {
              long waited = System.nanoTime() - last;
              if (!busy && waited > idle_nanos) System.exit(0);
              collect = !busy && !collected && waited > kCollectAfterNanos;
              if (collect) collected = true;
            }
            // The garbage of the last conversions, a large drawing's included, is collected
            // once no conversion follows at once, and the memory goes back to the system.
            if (collect) System.gc();
          }
        }
      };
      clock.setDaemon(true);
      clock.start();
      while (true) {
        SocketChannel run = listener.accept();
        synchronized (this) {
          if (busy) {
            Decline(run);
            continue;
          }
          busy = true;
        }
        new Thread(null, new Runnable() {
          @Override
          public void run() {
            try {
              Convert(run);
            } catch (Throwable t) {
              // Out of memory, or broken in a way nothing may be trusted after: the run gets no
              // answer and converts itself.
              Runtime.getRuntime().halt(Main.kFailed);
            }
          }
        }, "conversion", Main.kStack).start();
      }
    }

    private void Convert(SocketChannel run) throws IOException {
      String asked;
      String here;
      String[] args;
      try {
        asked = TakeText(run);
        here = TakeText(run);
        int count = ReadNumber(run);
        if (count < 0 || count > kMostArguments) throw new IOException("not a request");
        args = new String[count];
        for (int i = 0; i < args.length; ++i) args[i] = TakeText(run);
      } catch (IOException e) {
        run.close();  // gone before it asked, or not a run of ours
        Done();
        return;
      }
      boolean fonts_changed = !fonts.equals(Fonts.FindFolders());
      // A folder whose name Java cannot read is left to the run itself.
      if (!asked.equals(key) || !here.startsWith("/") || here.indexOf('\uFFFD') >= 0
          || fonts_changed || conversions >= kMostConversions) {
        Decline(run);
        // Java's font list is made once: with fonts added or removed, another converter.
        if (fonts_changed || conversions >= kMostConversions) System.exit(0);
        Done();
        return;
      }
      ++conversions;
      WriteAll(run, new byte[] {kAccepted});
      boolean[] finished = {false};
      Thread watch = new Thread("watch") {
        @Override
        public void run() {
          try {
            run.read(ByteBuffer.allocate(1));
          } catch (IOException e) {
            // Closed by the end of the conversion, or the run is gone.
          }
          synchronized (finished) {
            if (!finished[0]) System.exit(Main.kFailed);  // the run was stopped
          }
        }
      };
      watch.setDaemon(true);
      watch.start();
      Frames frames = new Frames(run);
      Charset charset = OutputCharset();
      System.setOut(new PrintStream(frames.Stream(kOut), true, charset));
      System.setErr(new PrintStream(frames.Stream(kErr), true, charset));
      int status;
      try {
        Timings.Start("conversion number " + conversions);
        try {
          status = Main.ConvertAndReport(Main.Checked(args, Paths.get(here)));
        } catch (UsageError e) {
          status = Main.ReportUsageError(e.getMessage());
        }
        Timings.Print();
        System.out.flush();
        System.err.flush();
      } finally {
        System.setOut(quiet_out);
        System.setErr(quiet_err);
      }
      synchronized (finished) {
        finished[0] = true;
      }
      // Batik keeps the images it read: a file changed before the next conversion would
      // otherwise be drawn as it was.
      ImageTagRegistry.getRegistry().flushCache();
      // Free before the run hears the end, so that a run that follows at once is taken; after
      // a conversion that ran out of stack or memory, another converter takes the next.
      boolean exhausted = Main.exhausted;
      if (!exhausted) Done();
      try (SocketChannel closed = run) {
        frames.End(status);
      }
      if (exhausted) System.exit(0);
    }

    private synchronized void Done() {
      busy = false;
      collected = false;
      last = System.nanoTime();
    }

    private static void Decline(SocketChannel run) {
      try (SocketChannel closed = run) {
        WriteAll(run, new byte[] {kDeclined});
      } catch (IOException e) {
        // The run has gone: nothing to tell.
      }
    }
  }

  // The run's two streams, as pieces sent in the order written.
  private static final class Frames {
    private final SocketChannel run;

    Frames(SocketChannel run) {
      this.run = run;
    }

    OutputStream Stream(byte kind) {
      return new OutputStream() {
        @Override
        public void write(int b) throws IOException {
          write(new byte[] {(byte) b}, 0, 1);
        }

        @Override
        public void write(byte[] bytes, int offset, int length) throws IOException {
          synchronized (Frames.this) {
            ByteBuffer piece = ByteBuffer.allocate(5 + length);
            piece.put(kind).putInt(length).put(bytes, offset, length).flip();
            while (piece.hasRemaining()) run.write(piece);
          }
        }
      };
    }

    synchronized void End(int status) throws IOException {
      ByteBuffer end = ByteBuffer.allocate(5).put(kEnd).putInt(status).flip();
      while (end.hasRemaining()) run.write(end);
    }
  }

  // The charset Java gives its own standard output here.
  static Charset OutputCharset() {
    try {
      String name = System.getProperty("sun.stdout.encoding");
      if (name != null) return Charset.forName(name);
    } catch (IllegalArgumentException e) {
      // Unknown: as Java's own output would.
    }
    return Charset.defaultCharset();
  }

  private static void WriteAll(SocketChannel channel, byte[] bytes) throws IOException {
    ByteBuffer buffer = ByteBuffer.wrap(bytes);
    while (buffer.hasRemaining()) channel.write(buffer);
  }

  private static byte[] ReadBytes(SocketChannel channel, int count) throws IOException {
    ByteBuffer buffer = ByteBuffer.allocate(count);
    while (buffer.hasRemaining()) {
      if (channel.read(buffer) < 0) throw new IOException("the other side ended");
    }
    return buffer.array();
  }

  private static int ReadNumber(SocketChannel channel) throws IOException {
    return ByteBuffer.wrap(ReadBytes(channel, 4)).getInt();
  }

  private static String TakeText(SocketChannel channel) throws IOException {
    int length = ReadNumber(channel);
    if (length < 0 || length > kLongestText) throw new IOException("not a request");
    // Names as Java reads them from its own command line.
    return new String(ReadBytes(channel, length), SafeOutput.FileNameCharset());
  }
}
