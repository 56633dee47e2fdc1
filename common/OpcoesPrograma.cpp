#include "OpcoesPrograma.h"

#include "ConfiguracaoLinkor.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <sys/stat.h>

#ifndef LINKOR_PASTA_POSTO
#define LINKOR_PASTA_POSTO ""
#endif
#ifndef LINKOR_VERSAO
#define LINKOR_VERSAO ""
#endif

QString EscolhePastaPosto(const QString& opcao)
{
    if (!opcao.isEmpty())
        return opcao;
    const QString ambiente = qEnvironmentVariable(kVariavelPastaPosto);
    if (!ambiente.isEmpty())
        return ambiente;
    const QString configurada = QString::fromStdString(LeConfiguracaoLinkor("POSTO"));
    if (!configurada.isEmpty())
        return configurada;
    return QStringLiteral(LINKOR_PASTA_POSTO);
}

TOpcoesPrograma LeOpcoesPrograma(const QCoreApplication& aplicacao, const QString& descricao)
{
    const QString padrao = EscolhePastaPosto(QString());
    const QString textoPadrao = padrao.isEmpty() ? QStringLiteral("a pasta do executável (Caminho.ini na pasta atual)")
                                                 : padrao;
    QCoreApplication::setApplicationVersion(QStringLiteral(LINKOR_VERSAO));
    QCommandLineParser opcoes;
    opcoes.setApplicationDescription(
        descricao
        + QStringLiteral("\n\nA pasta do posto guarda Caminho.ini, TankoraECF.INI e os logs (LogLinkor<data> e "
                         "LogErroConcentrador): a de --posto, senão a da variável %1, senão a de POSTO em %3, "
                         "senão %2.")
              .arg(QLatin1String(kVariavelPastaPosto),
                   QStringLiteral(LINKOR_PASTA_POSTO).isEmpty() ? QStringLiteral("a pasta do executável")
                                                                : QStringLiteral(LINKOR_PASTA_POSTO),
                   QString::fromStdString(ArquivoConfiguracaoLinkor())));
    opcoes.addHelpOption();
    opcoes.addVersionOption();
    const QCommandLineOption posto(QStringList{QStringLiteral("posto")},
                                   QStringLiteral("Pasta do posto (agora: %1).").arg(textoPadrao),
                                   QStringLiteral("pasta"));
    opcoes.addOption(posto);
    opcoes.process(aplicacao);
    TOpcoesPrograma lidas{EscolhePastaPosto(opcoes.value(posto)), {}};
    if (lidas.PastaPosto.isEmpty())
        return lidas;
    if (!QFileInfo(lidas.PastaPosto).isDir())
        lidas.Erro = QStringLiteral("A pasta do posto %1 não existe.").arg(lidas.PastaPosto);
    // The window (an operator's login) and the service (its own user) share the station folder
    // through its group: what either creates there stays writable by the other, and nothing is
    // readable by anyone else (the logs are the day's sales).
    const mode_t mascara = ::umask(0);
    ::umask((mascara & ~mode_t(S_IWGRP | S_IRGRP)) | S_IRWXO);
    return lidas;
}

bool PedeSoAjuda(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argumento(argv[i]);
        if (argumento == "-h" || argumento == "--help" || argumento == "--help-all" || argumento == "-v"
            || argumento == "--version")
            return true;
    }
    return false;
}
