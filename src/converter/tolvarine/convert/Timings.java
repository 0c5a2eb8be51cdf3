package tolvarine.convert;

import java.util.ArrayList;
import java.util.List;

/**
 * Where a conversion's time goes, for whoever makes it faster: with TOLVARINE_TIMINGS set in
 * the environment, each step's time goes to the error stream at the end, one line a step, and
 * first the time from the JVM's start to the entry point, or which of a waiting converter's
 * conversions it was. Otherwise nothing is measured.
 */
final class Timings {
  private static final boolean kOn = System.getenv("TOLVARINE_TIMINGS") != null;
  private static final List<String> steps = new ArrayList<>();
  private static long main_millis;
  private static long last;
  private static String served;  // by a waiting converter: how many it has converted

  private Timings() {}

  // At the entry point, or where a waiting converter takes a conversion.
  static void Start(String served_as) {
    if (!kOn) return;
    served = served_as;
    steps.clear();
    main_millis = System.currentTimeMillis();
    last = System.nanoTime();
  }

  // The step that ended now.
  static void Mark(String step) {
    if (!kOn) return;
    steps.add(String.format("%8.1f ms  %s", (System.nanoTime() - last) / 1e6, step));
    last = System.nanoTime();
  }

  static void Print() {
    if (!kOn) return;
    if (served != null) {
      System.err.println("timing: converted by the waiting converter, its " + served);
    } else {
      long start = java.lang.management.ManagementFactory.getRuntimeMXBean().getStartTime();
      System.err.printf("timing: %8d ms  from the JVM's start to the entry point%n",
          main_millis - start);
    }
    for (String step : steps) System.err.println("timing: " + step);
  }
}
