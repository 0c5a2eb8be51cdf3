// The converter's entry point: one SVG drawing to one PDF file, through Batik and FOP's PDF
// transcoder. Usage: TolvarineConvert <input.svg> (-o|--outfile) <output.pdf>
//                or  TolvarineConvert <input.svg> <output.pdf>
import java.io.BufferedOutputStream;
import java.io.File;
import java.io.FileOutputStream;
import java.io.OutputStream;
import org.apache.batik.transcoder.TranscoderException;
import org.apache.batik.transcoder.TranscoderInput;
import org.apache.batik.transcoder.TranscoderOutput;
import org.apache.fop.svg.PDFTranscoder;

public final class TolvarineConvert {
  public static void main(String[] args) {
    String input = null;
    String output = null;
    for (int i = 0; i < args.length; ++i) {
      if ((args[i].equals("-o") || args[i].equals("--outfile")) && i + 1 < args.length) {
        output = args[++i];
      } else if (input == null) {
        input = args[i];
      } else {
        output = args[i];
      }
    }
    if (input == null || output == null) {
      System.err.println("usage: <input.svg> -o <output.pdf>");
      System.exit(2);
    }
    System.out.println("Converting " + input + " to " + output);
    try (OutputStream out = new BufferedOutputStream(new FileOutputStream(output))) {
      TranscoderInput source = new TranscoderInput(new File(input).toURI().toString());
      new PDFTranscoder().transcode(source, new TranscoderOutput(out));
    } catch (Exception e) {
      System.err.println("Error: " + Describe(e));
      System.exit(1);
    }
    System.out.println("Done.");
  }

  // The transcoder wraps the parser's own error, whose message is the one a user can act on.
  private static String Describe(Exception e) {
    if (e instanceof TranscoderException && ((TranscoderException) e).getException() != null) {
      return ((TranscoderException) e).getException().getMessage();
    }
    return String.valueOf(e.getMessage());
  }
}
