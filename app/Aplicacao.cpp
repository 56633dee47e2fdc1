#include "Aplicacao.h"

#include "Erro.h"
#include "Mensagens.h"

TAplicacao::TAplicacao(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Linkor"));
    setQuitOnLastWindowClosed(false); // the tray keeps the program alive while the window is hidden
}

bool TAplicacao::notify(QObject* receptor, QEvent* evento)
{
    try {
        return QApplication::notify(receptor, evento);
    } catch (const std::exception& e) {
        MostraErroPadrao(MensagemDe(e));
    }
    return false;
}

QString TextoErroPadrao(const QString& mensagem)
{
    if (!mensagem.isEmpty() && mensagem.back() > QChar('.'))
        return mensagem + '.';
    return mensagem;
}

void MostraErroPadrao(const QString& mensagem)
{
    MostraMensagem(TTipoMensagem::Erro, TextoErroPadrao(mensagem));
}
