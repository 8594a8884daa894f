/* max_rss PROGRAM ARGS...: runs the program with its output discarded and
 * prints its peak resident memory in KiB as the kernel counted it (the
 * child's rusage). Exits with 1 when the program did not end with 0. */
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    pid_t child = fork();
    if (child < 0)
        return 1;
    if (child == 0) {
        int nothing = open("/dev/null", O_WRONLY);
        dup2(nothing, STDOUT_FILENO);
        dup2(nothing, STDERR_FILENO);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(child, &status, 0, &usage) != child)
        return 1;
    printf("%ld\n", usage.ru_maxrss);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
