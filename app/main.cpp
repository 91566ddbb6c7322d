#include "app/App.h"
#include "framework/Events.h"

int main(int argc, char** argv)
{
  InitFramework(argc, argv);
  App app;
  app.StartUp();
  return RunEventLoop();
}
