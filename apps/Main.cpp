// zep3dtool: the command-line program over the run set-up library (see Commands.h).
#include "Commands.h"

int main(int argc, char** argv) { return zep::apps::Main(argc, argv); }
