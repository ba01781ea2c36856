/* Runs a program and writes its peak resident memory in kilobytes into the file named first:
 * peak_of FILE PROGRAM [ARGS...]. The benchmarks start their programs through it because a
 * process's peak counts the memory of the process it was started from until it runs its program
 * (the benchmark itself, holding its books); started from this small one, the figure is the
 * program's own. Exits with the program's status. */
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    pid_t child = fork();
    if (child < 0) return 2;
    if (child == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(child, &status, 0, &usage) != child) return 2;
    FILE* out = fopen(argv[1], "w");
    if (!out) return 2;
    fprintf(out, "%ld\n", usage.ru_maxrss);
    fclose(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
