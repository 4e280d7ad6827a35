/*
 * The yardstick for chronsort's sort: a plain exchange sort of the same
 * dates, read and written with the same formats, comparing field by field
 * and making every pass. Usage: plainsort IN OUT
 */
#include <stdio.h>
#include <stdlib.h>

struct date {
	int day, year, month;
};

static int
later(const struct date *x, const struct date *y)
{
	if (x->year != y->year)
		return x->year > y->year;
	if (x->month != y->month)
		return x->month > y->month;
	return x->day > y->day;
}

int
main(int argc, char *argv[])
{
	struct date *d = NULL, t;
	size_t n = 0, cap = 0, p, j;
	FILE *in, *out;

	if (argc != 3 || (in = fopen(argv[1], "r")) == NULL ||
	    (out = fopen(argv[2], "w")) == NULL)
		return 1;
	for (;;) {
		if (n == cap && (d = realloc(d, (cap = cap * 2 + 64) * sizeof *d)) == NULL)
			return 1;
		if (fscanf(in, "%d/%d/%d", &d[n].day, &d[n].month, &d[n].year) != 3)
			break;
		n++;
	}
	for (p = 0; p < n; p++)
		for (j = 0; j + 1 < n - p; j++)
			if (later(&d[j], &d[j + 1])) {
				t = d[j];
				d[j] = d[j + 1];
				d[j + 1] = t;
			}
	for (j = 0; j < n; j++)
		fprintf(out, "%d/%d/%d ", d[j].day, d[j].month, d[j].year);
	return fclose(out) != 0;
}
