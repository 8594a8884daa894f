/* make_test_bytes OUTPUT COUNT SEED: writes COUNT pseudo-random bytes (a
 * xorshift32 stream started at SEED) to OUTPUT. Runs on the build machine;
 * the same arguments always give the same file. */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: make_test_bytes OUTPUT COUNT SEED\n");
        return 2;
    }
    FILE* out = fopen(argv[1], "wb");
    if (!out) {
        perror(argv[1]);
        return 1;
    }
    unsigned long long count = strtoull(argv[2], NULL, 10);
    unsigned long state = strtoul(argv[3], NULL, 10) & 0xFFFFFFFFul;
    if (state == 0)
        state = 1;
    static unsigned char block[1 << 16];
    while (count > 0) {
        size_t n = count < sizeof(block) ? (size_t)count : sizeof(block);
        for (size_t i = 0; i < n; ++i) {
            state ^= (state << 13) & 0xFFFFFFFFul;
            state ^= state >> 17;
            state ^= (state << 5) & 0xFFFFFFFFul;
            block[i] = (unsigned char)(state >> 24);
        }
        if (fwrite(block, 1, n, out) != n) {
            perror(argv[1]);
            return 1;
        }
        count -= n;
    }
    return fclose(out) == 0 ? 0 : 1;
}
