/* A C host linked against the import library: the header compiles as C and the decorated
 * stdcall names resolve to the undecorated exports. */
#include <stdio.h>

#include "kavrel.h"

int main(void) {
    int failed = 0;
    if (SetColor(2) != 2) failed++;
    if (SetColor(7) != 2) failed++;
    if (SetColor(0) != 0) failed++;
    if (SetThreshold(90) != 90) failed++;
    if (DisableErrorWindow(0) != 1) failed++;
    SetDensiValue(1, 2);
    printf("%d passed, %d failed\n", failed == 0 ? 1 : 0, failed == 0 ? 0 : 1);
    return failed == 0 ? 0 : 1;
}
