#pragma once
// The command line shared by the window program and the service: only where the station's files
// live. The folder is, in this order: --posto, the LINKOR_POSTO environment variable, the folder
// an installed build was configured with (/var/lib/linkor in the Debian package), or none, which
// keeps every file beside the executable and Caminho.ini in the current folder.
#include <QString>

class QCoreApplication;

inline constexpr const char* kVariavelPastaPosto = "LINKOR_POSTO";

struct TOpcoesPrograma {
    QString PastaPosto; // empty: beside the executable
    QString Erro;       // the named folder is no folder: the program must not start
};

// Reads the command line; --help and --version print and end the process, as an unknown option
// does with its message.
TOpcoesPrograma LeOpcoesPrograma(const QCoreApplication& aplicacao, const QString& descricao);
// The station folder for an option's value (empty when not given), the environment and the build.
QString EscolhePastaPosto(const QString& opcao);
// Whether the command line asks for --help or --version, which a program with a window answers
// before it needs a display.
bool PedeSoAjuda(int argc, char** argv);
