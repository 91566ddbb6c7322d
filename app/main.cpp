#include "framework/Events.h"

int main(int argc, char** argv)
{
  InitFramework(argc, argv);
  return 0;
}
