#include <stdio.h>
#include "util.h"

/* ŒŸõŒ‹‰Ê‚ğˆê——‚É‚·‚é¬‚³‚È—á */
int main(void) {
  int count = 0;
  /* TODO: ˆø”‚ğ“Ç‚Ş */
  count = CountMatches("sample");
  printf("%d\n", count);
  return 0;
}
