#include "app/launcher_app.h"
#include "app/result_channel.h"

int main(int argc, char** argv) {
  app::SecureStandardDescriptors();
  app::CLauncherApp app;
  return app.Run(argc, argv);
}
