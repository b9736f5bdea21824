// Opens a table and holds it open, as another workstation would, until its
// standard input closes. Prints "open" once the table is open.
#include "store/schema.h"
#include "store/session.h"
#include "store/storeerror.h"
#include "store/table.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: zil-holdtable DIR TABLE [NETFILEDIR]\n");
        return 2;
    }
    zil::store::Session::instance().addPassword(zil::schema::programPassword());
    if (args.size() > 3)
        zil::store::Session::instance().setNetFileDir(args.at(3));
    zil::store::Table table;
    table.setDatabaseName(args.at(1));
    table.setTableName(args.at(2));
    try {
        table.open();
    } catch (const zil::store::StoreError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    std::printf("open\n");
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) { }
    return 0;
}
