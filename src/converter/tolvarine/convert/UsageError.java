package tolvarine.convert;

/** A command line the converter refuses, before any file is touched; exits with 2. */
final class UsageError extends Exception {
  private static final long serialVersionUID = 1L;

  UsageError(String message) {
    super(message);
  }
}
