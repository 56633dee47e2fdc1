#include "Aplicacao.h"
#include "CaixaMensagem.h"
#include "Linkor.h"
#include "MenuPrin.h"
#include "OpcoesPrograma.h"

namespace {
const QString kDescricao = QStringLiteral("Linkor: comunicação entre o banco do posto e o concentrador CompanyTec.");
}

#include <QDir>
#include <QFile>
#include <QProcess>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {
// The engine did not stop within the bound: stuck in the database or on the line. It is left
// behind without being finalised, so the concentrator is told nothing (a fueling not yet stored is
// delivered again on the next run); only what needs no engine is flushed before the process ends.
[[noreturn]] void EncerraSemOMotor(const TContexto& contexto, int codigo)
{
    try {
        TMenuPrin::GravaLogErroSemMotor(contexto, QStringLiteral("Linkor encerrado sem esperar o banco de dados ou o "
                                                                 "concentrador, que não responderam; nada pendente foi "
                                                                 "confirmado ao concentrador."));
    } catch (const std::exception&) {
        // the process ends now: there is nowhere left to say it
    }
    std::fflush(nullptr);
    std::_Exit(codigo);
}
// Set in the environment of a Linkor started again by the one before it: the pid to wait for.
constexpr const char* kEsperaProcesso = "LINKOR_ESPERA_PID";

bool ProcessoVivo(qint64 pid)
{
    QFile estado(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!estado.open(QIODevice::ReadOnly))
        return false;
    // "pid (name) S ...": a process that ended but was not yet reaped holds nothing any more.
    const QByteArray linha = estado.readAll();
    const qsizetype fim = linha.lastIndexOf(')');
    return fim >= 0 && fim + 2 < linha.size() && linha.at(fim + 2) != 'Z' && linha.at(fim + 2) != 'X';
}

// A Linkor started again waits (at most 30 s) for the one that started it to be gone, so that its
// station lock, serial port and database attachment are free before this one takes them.
void EsperaAnterior()
{
    const QByteArray valor = qgetenv(kEsperaProcesso);
    if (valor.isEmpty())
        return;
    qunsetenv(kEsperaProcesso);
    bool ok = false;
    const qint64 pid = valor.toLongLong(&ok);
    for (int i = 0; ok && pid > 1 && i < 300 && ProcessoVivo(pid); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

// After the concentrator's clock was set the window closes; the program starts again by itself,
// with the same arguments, environment and current folder, so that polling resumes.
void IniciaDeNovo(const QStringList& argumentos, const TContexto& contexto)
{
    QProcess processo;
    processo.setProgram(QCoreApplication::applicationFilePath());
    processo.setArguments(argumentos);
    processo.setWorkingDirectory(QDir::currentPath());
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert(QString::fromLatin1(kEsperaProcesso), QString::number(QCoreApplication::applicationPid()));
    processo.setProcessEnvironment(ambiente);
    if (processo.startDetached())
        return;
    try {
        TMenuPrin::GravaLogErroSemMotor(contexto, QStringLiteral("Linkor não pôde ser iniciado de novo depois do "
                                                                 "acerto da Data/Hora (%1): abra-o de novo.")
                                                      .arg(processo.errorString()));
    } catch (const std::exception&) {
        // nowhere left to say it
    }
}
} // namespace

int main(int argc, char** argv)
{
    EsperaAnterior();
    QStringList argumentos;
    for (int i = 1; i < argc; ++i)
        argumentos << QString::fromLocal8Bit(argv[i]);
    if (PedeSoAjuda(argc, argv)) { // answered and ended without a display
        QCoreApplication ajuda(argc, argv);
        LeOpcoesPrograma(ajuda, kDescricao);
    }
    TAplicacao::BloqueiaSinais();
    TAplicacao aplicacao(argc, argv);
    const TOpcoesPrograma opcoes = LeOpcoesPrograma(aplicacao, kDescricao);
    if (!opcoes.Erro.isEmpty()) {
        aplicacao.Caixas().MostraMensagem(TTipoMensagem::Erro, opcoes.Erro);
        return 1;
    }
    aplicacao.InstalaTratamentoSinais();
    const TRelogio relogio(opcoes.PastaPosto);
    TContexto contexto(relogio, aplicacao.Caixas());
    TLinkor linkor(contexto);
    TMenuPrin janela(linkor);
    janela.ExibeInicial();
    const int codigo = aplicacao.exec();
    const bool abandonado = janela.Motor().Abandonado() || !janela.Motor().Para(TMenuPrin::kEsperaMotorMs);
    if (janela.ReinicioSolicitado())
        IniciaDeNovo(argumentos, contexto);
    if (abandonado)
        EncerraSemOMotor(contexto, codigo);
    return codigo;
}
