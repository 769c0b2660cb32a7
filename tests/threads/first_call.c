/* Threads making their first batch call together: all see the same path and
 * the same rows.  Built with ThreadSanitizer by check.sh, with the library's
 * sources, so that a race in the one-time choice of path is reported. */
#define _POSIX_C_SOURCE 200809L

#include <pthread.h>
#include <stdio.h>
#include <string.h>

#include "ostrell_batch.h"

#define THREADS 8
#define ROWS 64

static pthread_barrier_t start;
static double a[2 * ROWS], out[THREADS][2 * ROWS];
static int path[THREADS];

static void* first_call(void* arg)
{
    int t = (int)(size_t)arg;
    pthread_barrier_wait(&start);
    path[t] = (int)ostrell_isa_best();
    ostrell_batch_exp(a, out[t], ROWS);
    return NULL;
}

int main(void)
{
    pthread_t th[THREADS];
    int t, bad = 0;
    for (t = 0; t < 2 * ROWS; ++t) a[t] = t % 2 ? 0.0 : t * 0.125 - 4.0;
    pthread_barrier_init(&start, NULL, THREADS);
    for (t = 0; t < THREADS; ++t) pthread_create(&th[t], NULL, first_call, (void*)(size_t)t);
    for (t = 0; t < THREADS; ++t) pthread_join(th[t], NULL);
    for (t = 1; t < THREADS; ++t)
        bad |= path[t] != path[0] || memcmp(out[t], out[0], sizeof out[0]) != 0;
    printf("%d threads, first calls together: path %d%s\n", THREADS, path[0], bad ? ", DIFFERENT" : "");
    return bad;
}
