#include "app/launcher_app.h"

int main(int argc, char** argv) {
  app::CLauncherApp app;
  return app.Run(argc, argv);
}
