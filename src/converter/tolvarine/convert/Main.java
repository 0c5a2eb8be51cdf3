// The converter's entry point: one SVG drawing to one PDF file, through Batik and FOP's PDF
// transcoder.
//
//   <input.svg> [options] <output.pdf>
//   <input.svg> (-o|--outfile) <output.pdf> [options]
//   options: --width LENGTH, --height LENGTH (px, pt, mm, cm, in), --background COLOR
//
// Without -o the PDF is the last argument, as the launcher takes it. It never destroys
// anything: the input is only read, the PDF is written into a temporary file beside the output,
// flushed to disk and moved over it only after a complete conversion. A usage error exits with
// 2 before any file is touched; a failed or stopped conversion exits with 1 (or the signal's
// status) and leaves the output as it was. Every message is one line.
package tolvarine.convert;

import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.channels.FileChannel;
import java.nio.file.AccessDeniedException;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import org.apache.batik.anim.dom.SAXSVGDocumentFactory;
import org.apache.batik.transcoder.TranscoderException;
import org.apache.batik.transcoder.TranscoderInput;
import org.apache.batik.transcoder.TranscoderOutput;
import org.apache.batik.transcoder.TranscodingHints;
import org.apache.batik.transcoder.image.ImageTranscoder;
import org.apache.fop.svg.PDFTranscoder;
import org.w3c.dom.Document;

public final class Main {
  static final int kFailed = 1;
  private static final int kUsage = 2;
  // Batik draws a drawing by recursion, a level or more for each level of nesting: the
  // conversion gets a stack that deep drawings fit in (taken from memory only as used).
  static final long kStack = 64L << 20;
  // A conversion ran out of stack or memory: what it left behind in Java's libraries may not
  // be sound for another.
  static volatile boolean exhausted;

  private Main() {}

  public static void main(String[] args) throws InterruptedException {
    Timings.Start(null);
    int[] status = {kFailed};
    Thread conversion = new Thread(null, new Runnable() {
      @Override
      public void run() {
        status[0] = Run(args);
      }
    }, "conversion", kStack);
    conversion.start();
    conversion.join();
    System.exit(status[0]);
  }

  // The exit status: 0 for a PDF written.
  private static int Run(String[] args) {
    int status;
    try {
      Options options = Checked(args, null);
      Runtime.getRuntime().addShutdownHook(new Thread() {
        @Override
        public void run() {
          SafeOutput.RemoveOwnFiles();
        }
      });
      Messages.SilenceLogging();
      Fonts.FindFolders();
      status = ConvertAndReport(options);
    } catch (UsageError e) {
      status = ReportUsageError(e.getMessage());
    }
    Timings.Print();
    return status;
  }

  // The arguments, their names taken in the folder given (null: this process's own), refused
  // where they would harm a file.
  static Options Checked(String[] args, Path folder) throws UsageError {
    try {
      Options options = Options.Parse(args);
      options.folder = folder;
      SafeOutput.RefuseNamesTheSystemCannotTake(options.input, options.output);
      SafeOutput.RefuseUnsafeOutput(options);
      return options;
    } catch (InvalidPathException e) {
      throw new UsageError(e.getMessage());
    }
  }

  static int ReportUsageError(String message) {
    System.err.println("Error: " + message + " (" + Options.kUsageLine + ")");
    return kUsage;
  }

  // The conversion of arguments found sound, with its messages, once the font folders are
  // found (Fonts.FindFolders).
  static int ConvertAndReport(Options options) {
    System.out.println("Converting " + options.input + " to " + options.output);
    Timings.Mark("logging, arguments, output checks, font folders");
    String failure;
    Messages.Report report = new Messages.Report(options.input, options.Resolve(options.input));
    try {
      failure = Convert(options, report);
    } catch (UsageError e) {
      return ReportUsageError(e.getMessage());
    }
    report.Print();
    if (failure != null) {
      System.err.println(failure);
      return kFailed;
    }
    System.out.println("Done.");
    return 0;
  }

  // Converts, and returns nothing on success or the one line that says why it failed; a page
  // side that the drawing's proportions put out of range is a usage error.
  static String Convert(Options options, Messages.Report report) throws UsageError {
    Path output = options.target;
    Path temporary = null;
    SafeOutput.WriteWatch watch = null;
    String file = options.input;  // whose problem a failure is
    try {
      Document document = LoadDrawing(options, report);
      Timings.Mark("reading the drawing (XML parser, Batik's SVG document)");
      PageSize.GiveDrawingItsSize(document.getDocumentElement());
      Leniency.Prepare(document.getDocumentElement(), report);
      Timings.Mark("the pre-pass (page size, colours, undrawable elements)");
      file = options.output;
      // A PDF the user may not write stays protected, although its folder would allow a rename.
      if (Files.exists(output) && !Files.isWritable(output)) {
        throw new AccessDeniedException(options.output);
      }
      temporary = SafeOutput.CreateTemporaryBeside(output);
      watch = new SafeOutput.WriteWatch(FileChannel.open(temporary, StandardOpenOption.WRITE));
      file = options.input;
      try (OutputStream out = new BufferedOutputStream(watch)) {
        Transcode(document, options, out, report);
      }
      Timings.Mark("painting, writing and closing the PDF");
      file = options.output;
      SafeOutput.KeepPermissions(output, temporary);
      SafeOutput.MoveOverUnlessStopped(temporary, output);
      temporary = null;
      SafeOutput.ForceFolder(output.getParent());
      Timings.Mark("moving the PDF into place, flushing its folder");
      return null;
    } catch (Throwable t) {
      for (Throwable cause = t; cause != null; cause = Messages.Cause(cause)) {
        if (cause instanceof PageSize.PageSideError) throw new UsageError(cause.getMessage());
        if (cause instanceof VirtualMachineError) exhausted = true;
      }
      return Messages.Explain(t, watch != null && watch.failed ? options.output : file, report);
    } finally {
      if (temporary != null) SafeOutput.Discard(temporary);
    }
  }

  // Each element's place is recorded for the messages.
  static Document LoadDrawing(Options options, Messages.Report report) throws IOException {
    Path path = options.Resolve(options.input);
    if (!Files.isRegularFile(path)) {
      throw Files.exists(path) ? new IOException("not a file")
                               : new NoSuchFileException(options.input);
    }
    SAXSVGDocumentFactory factory = Leniency.DrawingParser();
    Document document = factory.createDocument(path.toAbsolutePath().toUri().toString());
    report.places = factory.getDocumentDescriptor();
    report.root = document.getDocumentElement();
    return document;
  }

  static void Transcode(Document document, Options options, OutputStream out,
      Messages.Report report) throws Exception {
    PDFTranscoder transcoder = new Fonts.InstalledFontsTranscoder(options.size_option);
    TranscodingHints hints = new TranscodingHints(transcoder.getTranscodingHints());
    if (options.width != null) hints.put(PDFTranscoder.KEY_WIDTH, options.width);
    if (options.height != null) hints.put(PDFTranscoder.KEY_HEIGHT, options.height);
    if (options.background != null) {
      hints.put(ImageTranscoder.KEY_BACKGROUND_COLOR, options.background);
    }
    transcoder.setTranscodingHints(hints);
    transcoder.setErrorHandler(report);
    try {
      transcoder.transcode(new TranscoderInput(document), new TranscoderOutput(out));
    } catch (RuntimeException e) {
      // FOP turns some reported errors (an image that cannot be read) into a bare
      // RuntimeException; the reported error holds the reason.
      TranscoderException reason = report.pending;
      report.pending = null;  // the failure's message, not also a warning
      if (reason != null) throw reason;
      throw e;
    }
  }
}
