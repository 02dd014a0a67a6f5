#include "app/client_app.h"

namespace {
CxTKexeApp theApp;
}

int main() { return AfxWinMain(theApp); }
