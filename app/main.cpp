#include "app/App.h"
#include "framework/Events.h"

int main(int argc, char** argv)
{
  InitFramework(argc, argv);
  App app;
  app.StartUp();
  // The system may have asked the program to end while it started.
  return app.Quitting() ? 0 : RunEventLoop();
}
