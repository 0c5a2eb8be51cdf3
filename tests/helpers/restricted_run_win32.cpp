// The POSIX build's restricted_run sets a file-size limit or another user; Windows has
// neither for one process, and the tests that need it skip there. Ends with status 122.
int main() { return 122; }
