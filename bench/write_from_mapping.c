/* write_from_mapping SOURCE TARGET: the Linux floor of how the setup writes
 * its package: one write() of the whole file straight from a read-only
 * private mapping of it. Prints the nanoseconds it took. */
#include <fcntl.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    int source = open(argv[1], O_RDONLY);
    struct stat status;
    if (source < 0 || fstat(source, &status) != 0)
        return 1;
    void* view = mmap(NULL, (size_t)status.st_size, PROT_READ, MAP_PRIVATE, source, 0);
    if (view == MAP_FAILED)
        return 1;
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    int target = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ssize_t written = target < 0 ? -1 : write(target, view, (size_t)status.st_size);
    if (target >= 0)
        close(target);
    clock_gettime(CLOCK_MONOTONIC, &end);
    if (written != status.st_size)
        return 1;
    printf("%lld\n",
           (long long)(end.tv_sec - start.tv_sec) * 1000000000LL + (end.tv_nsec - start.tv_nsec));
    return 0;
}
