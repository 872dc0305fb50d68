/* Helpers of cli_bench.sh.
 *
 *   bench_tool make DIR COUNT SIZE   writes COUNT files of SIZE random bytes into nested
 *                                    directories below DIR (100 files per directory,
 *                                    10 directories per level)
 *   bench_tool read2 DIR...          the quick-test baseline: opens every regular file
 *                                    below DIR, without following links or leaving the
 *                                    filesystem, and reads its first 2 bytes
 *   bench_tool inflight DISK CMD...  runs CMD (its output dropped) and prints, for each
 *                                    10 ms of its run, the mean number of reads the disk
 *                                    (sda, vda, loop0, ...) had in flight, sampled every
 *                                    0.2 ms: where a run leaves the device idle or shallow
 *   bench_tool hold FILE...          maps every FILE and touches each of its pages, prints
 *                                    "held" and waits until its standard input closes:
 *                                    mapped pages stay in memory when the page cache is
 *                                    dropped, so the programs a benchmark times start as
 *                                    from a warm cache while the trees they read are cold
 */
#define _XOPEN_SOURCE 700
#define _DEFAULT_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static long failures;

static int readTwo(const char* path, const struct stat* st, int type, struct FTW* ftw)
{
    (void)ftw;
    if (type != FTW_F || !S_ISREG(st->st_mode))
        return 0;
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    char buf[2];
    if (fd < 0 || read(fd, buf, 2) != 2)
        ++failures;
    if (fd >= 0)
        close(fd);
    return 0;
}

static void dirFor(char* out, size_t size, const char* root, long index)
{
    /* File i lives in directory i / 100, spelled as a path of base-10 digits. */
    long d = index / 100;
    int n = snprintf(out, size, "%s", root);
    char digits[32];
    int len = snprintf(digits, sizeof digits, "%ld", d);
    for (int i = 0; i < len; ++i)
        n += snprintf(out + n, size - (size_t)n, "/d%c", digits[i]);
}

static int makeTree(const char* root, long count, long size)
{
    char* data = malloc((size_t)size + 1);
    if (data == NULL)
        return 1;
    char dir[4096], path[4200];
    for (long i = 0; i < count; ++i) {
        dirFor(dir, sizeof dir, root, i);
        for (char* p = dir + strlen(root) + 1; *p != '\0'; ++p) {
            if (*p == '/') {
                *p = '\0';
                mkdir(dir, 0755);
                *p = '/';
            }
        }
        mkdir(dir, 0755);
        for (long got = 0; got < size;) {
            ssize_t n = getrandom(data + got, (size_t)(size - got), 0);
            if (n < 0)
                return 1;
            got += n;
        }
        snprintf(path, sizeof path, "%s/f%ld", dir, i);
        int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || write(fd, data, (size_t)size) != size) {
            fprintf(stderr, "bench_tool: cannot write %s: %s\n", path, strerror(errno));
            return 1;
        }
        close(fd);
    }
    free(data);
    return 0;
}

static double millisecondsSince(const struct timespec* start)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)(now.tv_sec - start->tv_sec) * 1e3 + (double)(now.tv_nsec - start->tv_nsec) / 1e6;
}

static int sampleInFlight(const char* disk, char** command)
{
    enum { kSlots = 6000 }; /* 60 s of 10 ms */
    static double sum[kSlots];
    static long samples[kSlots];
    char path[256];
    snprintf(path, sizeof path, "/sys/block/%s/inflight", disk);
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        perror(path);
        return 2;
    }
    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t child = fork();
    if (child == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(command[0], command);
        _exit(127);
    }
    int last = 0;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) != child) {
        char text[64];
        ssize_t got = pread(fd, text, sizeof text - 1, 0);
        text[got > 0 ? got : 0] = '\0';
        int slot = (int)(millisecondsSince(&start) / 10);
        if (slot >= kSlots)
            slot = kSlots - 1;
        sum[slot] += atoi(text); /* reads first, then writes */
        ++samples[slot];
        last = slot > last ? slot : last;
        usleep(200);
    }
    for (int slot = 0; slot <= last; ++slot)
        printf("%d:%.0f%c", slot * 10, samples[slot] ? sum[slot] / samples[slot] : 0.0, slot == last ? '\n' : ' ');
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

/* Maps FILE for the life of the process; a file that cannot be mapped is said and skipped. */
static void holdInMemory(const char* path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_size == 0) {
        if (fd < 0)
            perror(path);
        if (fd >= 0)
            close(fd);
        return;
    }
    const volatile char* bytes = mmap(NULL, (size_t)st.st_size, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (bytes == MAP_FAILED) {
        perror(path);
        return;
    }
    long page = sysconf(_SC_PAGESIZE);
    for (off_t at = 0; at < st.st_size; at += page)
        (void)bytes[at];
}

static int holdUntilInputCloses(int count, char** files)
{
    for (int i = 0; i < count; ++i)
        holdInMemory(files[i]);
    printf("held\n");
    fflush(stdout);
    char rest[64];
    while (read(0, rest, sizeof rest) > 0) {}
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 5 && strcmp(argv[1], "make") == 0) {
        mkdir(argv[2], 0755);
        return makeTree(argv[2], atol(argv[3]), atol(argv[4]));
    }
    if (argc >= 3 && strcmp(argv[1], "read2") == 0) {
        for (int i = 2; i < argc; ++i)
            if (nftw(argv[i], readTwo, 64, FTW_PHYS | FTW_MOUNT) != 0)
                return 1;
        return failures == 0 ? 0 : 1;
    }
    if (argc >= 4 && strcmp(argv[1], "inflight") == 0)
        return sampleInFlight(argv[2], argv + 3);
    if (argc >= 2 && strcmp(argv[1], "hold") == 0)
        return holdUntilInputCloses(argc - 2, argv + 2);
    fprintf(stderr,
            "usage: bench_tool make DIR COUNT SIZE | bench_tool read2 DIR... | bench_tool inflight DISK CMD... | "
            "bench_tool hold FILE...\n");
    return 2;
}
