#include "CNivoApp.h"

int main(int argc, char** argv)
{
    CNivoApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
