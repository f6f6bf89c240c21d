/* host_example.c - a host program: runs one statement on a QX database
 * and prints the result's rows.   host_example DBDIR "SELECT ..." */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "obsqleng.h"
#include "qxhost.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s DBDIR STATEMENT\n", argv[0]);
        return 2;
    }
    char error[256];
    uint16_t context = QXHostOpen(argv[1], 0, error, sizeof error); /* the database */
    if (context == 0) {
        fprintf(stderr, "%s\n", error);
        return 1;
    }
    if (!OB4InitInstance(0, NULL)) { /* finds the callbacks of libobhost32.so */
        fprintf(stderr, "the SQL engine did not start\n");
        QXHostClose(context);
        return 1;
    }

    ExecInfo* info = calloc(1, 1 << 16); /* counts, then the column description */
    char* line = malloc(1 << 20);        /* one row as text */
    uintptr_t handle = 0;
    int status = 0;
    if (QXSQLExecReq(&handle, argv[2], info, context, 0) != 0) {
        char text[255] = "", state[6] = "";
        QXSQLErreur(handle, text, state);
        fprintf(stderr, "Error %s: %s\n", state, text);
        status = 1;
    } else if (info->columnCount > 0) {
        printf("%u columns, %u rows\n", info->columnCount, info->rowCount);
        while (QXSQLFetchNext(handle) == 0) {
            QXSQLValLine(handle, " | ", line);
            printf("%s\n", line);
        }
    }
    if (handle != 0) QXSQLFinRequete(handle); /* also after a failure */
    OBSQLFinInstance(0);
    QXHostClose(context);
    free(line);
    free(info);
    return status;
}
