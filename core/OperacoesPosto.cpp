#include "OperacoesPosto.h"

#include "Conexao.h"
#include "Linkor.h"
#include "LogOperacoes.h"
#include "Motor.h"
#include "ServicoRelogio.h"
#include "ServicoTempoLeitura.h"

#include <pwd.h>
#include <unistd.h>

QString TOperacoesPosto::UsuarioLocal()
{
    const passwd* usuario = ::getpwuid(::getuid());
    return usuario && usuario->pw_name ? QString::fromLocal8Bit(usuario->pw_name) : QString::number(::getuid());
}

namespace {

// The engine's own prefix for what a job raised (see TMotor::Executa): the log line says what the
// operator reads.
const QString kFazendo = QStringLiteral("Erro no banco de dados ao executar a operação pedida.");

// What a step does on the engine's thread: its value, and its LogOperacoes line (none when
// `registro` is left without an action). A step that raises is logged as failed with the message
// the operator gets.
template <class T>
using TPasso = std::function<T(TLinkor&, const TRetorno&, TOperacaoRegistrada& registro)>;

template <class T>
void Roda(TMotor& motor, QObject* dono, const QString& usuario, TPasso<T> passo,
          TOperacoesPosto::TConclusao<T> concluido)
{
    auto valor = std::make_shared<T>();
    auto aviso = std::make_shared<QString>();
    motor.Executa(
        dono,
        [valor, aviso, usuario, passo = std::move(passo)](TLinkor& linkor, const TRetorno& retorno) {
            TOperacaoRegistrada registro;
            registro.Usuario = usuario;
            try {
                *valor = passo(linkor, retorno, registro);
            } catch (const std::exception& e) {
                if (!registro.Acao.isEmpty()) {
                    registro.Resultado = ResultadoFalhou(MensagemParaOperador(kFazendo, e));
                    *aviso = RegistraOperacao(linkor.Contexto(), registro);
                }
                throw;
            }
            if (!registro.Acao.isEmpty())
                *aviso = RegistraOperacao(linkor.Contexto(), registro);
        },
        [valor, aviso, concluido = std::move(concluido)](const QString& erro) {
            if (!concluido)
                return;
            TRespostaOperacao<T> resposta;
            if (erro.isEmpty())
                resposta.Dados = std::move(*valor);
            resposta.Erro = erro;
            resposta.AvisoLog = *aviso;
            concluido(resposta);
        });
}

QString Seta(const QString& antes, const QString& depois)
{
    return antes + QStringLiteral(" → ") + depois;
}

QString UmaLinha(const QString& texto)
{
    QString linha = texto;
    linha.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return linha;
}

} // namespace

void TOperacoesLocais::CarregaPrecos(QObject* dono, TConclusao<QList<TLinhaPreco>> concluido)
{
    Roda<QList<TLinhaPreco>>(
        FMotor, dono, {},
        [](TLinkor& linkor, const TRetorno&, TOperacaoRegistrada&) {
            return TServicoAlteraPreco(linkor.Contexto()).CarregaPrecos();
        },
        std::move(concluido));
}

void TOperacoesLocais::CarregaEncerrantes(QObject* dono, TConclusao<QList<TLinhaEncerrante>> concluido)
{
    Roda<QList<TLinhaEncerrante>>(
        FMotor, dono, {},
        [](TLinkor& linkor, const TRetorno&, TOperacaoRegistrada&) {
            return TServicoEncerrantes(linkor.Contexto()).CarregaBicos();
        },
        std::move(concluido));
}

void TOperacoesLocais::CarregaBloqueio(QObject* dono, TConclusao<QList<TBicoBloqueio>> concluido)
{
    Roda<QList<TBicoBloqueio>>(
        FMotor, dono, {},
        [](TLinkor& linkor, const TRetorno&, TOperacaoRegistrada&) {
            TServicoBloqueio servico(linkor.Contexto());
            QList<TBicoBloqueio> bicos = servico.CarregaBicos();
            servico.MarcaBloqueados(bicos);
            return bicos;
        },
        std::move(concluido));
}

void TOperacoesLocais::LeEncerrantes(QObject* dono, const QString& usuario, const QList<TLinhaEncerrante>& linhas,
                                     TProgressoLeitura progresso, TConclusao<TLeituraEncerrantes> concluido)
{
    Roda<TLeituraEncerrantes>(
        FMotor, dono, usuario,
        [linhas, progresso = std::move(progresso)](TLinkor& linkor, const TRetorno& retorno,
                                                   TOperacaoRegistrada& registro) {
            TLeituraEncerrantes leitura{linhas, {}};
            registro.Acao = QStringLiteral("lê encerrantes");
            for (const TLinhaEncerrante& linha : linhas)
                if (linha.Marcado)
                    registro.Bicos << linha.CodBico;
            leitura.NaoLidos = TServicoEncerrantes(linkor.Contexto())
                                   .LeEncerrantes(leitura.Linhas, [&](int i, const QString& status) {
                                       if (progresso) {
                                           const TLinhaEncerrante linha = leitura.Linhas[i];
                                           retorno([progresso, i, linha, status] { progresso(i, linha, status); });
                                       }
                                   });
            QStringList lidos;
            for (const TLinhaEncerrante& linha : leitura.Linhas)
                if (linha.Marcado && linha.Lido)
                    lidos << linha.CodBico + QStringLiteral(": ") + Seta(linha.Inicial, linha.Final);
            registro.Mudanca = lidos.join(QStringLiteral("; "));
            const QString naoLidos = QStringLiteral("não lidos ") + leitura.NaoLidos.join(QStringLiteral(", "));
            if (leitura.NaoLidos.isEmpty())
                registro.Resultado = kResultadoOk;
            else if (lidos.isEmpty())
                registro.Resultado = ResultadoFalhou(naoLidos);
            else
                registro.Resultado = ResultadoParcial(naoLidos);
            return leitura;
        },
        std::move(concluido));
}

void TOperacoesLocais::GravaEncerrantes(QObject* dono, const QString& usuario, const QList<TLinhaEncerrante>& linhas,
                                        TProgressoGravacao progresso, TConclusao<TResultadoGravacao> concluido)
{
    Roda<TResultadoGravacao>(
        FMotor, dono, usuario,
        [linhas, progresso = std::move(progresso)](TLinkor& linkor, const TRetorno& retorno,
                                                   TOperacaoRegistrada& registro) {
            registro.Acao = QStringLiteral("grava encerrantes");
            QStringList mudancas;
            for (const TLinhaEncerrante& linha : linhas) {
                if (!linha.Marcado)
                    continue;
                registro.Bicos << linha.CodBico;
                mudancas << linha.CodBico + QStringLiteral(": ") + Seta(linha.Inicial, linha.Final);
            }
            registro.Mudanca = mudancas.join(QStringLiteral("; "));
            TServicoEncerrantes servico(linkor.Contexto());
            TResultadoGravacao resultado = servico.GravaEncerrantes(linhas, [&](const QString& status) {
                if (progresso)
                    retorno([progresso, status] { progresso(status); });
            });
            // One transaction: every marked row or none.
            const QString texto = UmaLinha(resultado.Mensagens.join(QStringLiteral(" ")));
            if (resultado.Encerra)
                registro.Resultado = kResultadoOk + QStringLiteral(" (turno ") + servico.ChaveTurno() + QStringLiteral(")");
            else
                registro.Resultado = ResultadoFalhou(texto);
            return resultado;
        },
        std::move(concluido));
}

void TOperacoesLocais::GravaPrecos(QObject* dono, const QString& usuario, const QList<TLinhaPreco>& linhas,
                                   TConclusao<TResultadoPrecos> concluido)
{
    Roda<TResultadoPrecos>(
        FMotor, dono, usuario,
        [linhas](TLinkor& linkor, const TRetorno&, TOperacaoRegistrada& registro) {
            registro.Acao = QStringLiteral("preço");
            QList<TLinhaPreco> conferidas = linhas;
            QStringList mudancas;
            for (TLinhaPreco& linha : conferidas) {
                registro.Bicos << linha.CodBico;
                const QString digitado = linha.Preco;
                const TValidacaoPreco validacao = TServicoAlteraPreco::ValidaPreco(linha.Preco, linkor.Contexto().Regional());
                if (validacao != TValidacaoPreco::Valido) {
                    registro.Mudanca = linha.CodBico + QStringLiteral(": ") + Seta(linha.PrecoAnterior, digitado);
                    throw EErro(TServicoAlteraPreco::MensagemValidacao(validacao));
                }
                if (linha.Preco != linha.PrecoAnterior)
                    mudancas << linha.CodBico + QStringLiteral(": ") + Seta(linha.PrecoAnterior, linha.Preco);
            }
            registro.Mudanca = mudancas.isEmpty() ? QStringLiteral("sem alteração") : mudancas.join(QStringLiteral("; "));
            const TResultadoPrecos resultado = TServicoAlteraPreco(linkor.Contexto()).GravaPrecos(conferidas);
            if (!resultado.Falhou())
                registro.Resultado = kResultadoOk;
            else if (resultado.Gravados.isEmpty())
                registro.Resultado = ResultadoFalhou(UmaLinha(TServicoAlteraPreco::MensagemFalha(resultado)));
            else
                registro.Resultado = ResultadoParcial(UmaLinha(TServicoAlteraPreco::MensagemFalha(resultado)));
            return resultado;
        },
        std::move(concluido));
}

void TOperacoesLocais::Bloqueia(QObject* dono, const QString& usuario, const QList<TBicoBloqueio>& bicos,
                                TConclusao<TResultadoBloqueio> concluido)
{
    Roda<TResultadoBloqueio>(
        FMotor, dono, usuario,
        [bicos](TLinkor& linkor, const TRetorno&, TOperacaoRegistrada& registro) {
            TResultadoBloqueio resultado;
            QStringList mudancas;
            for (const TBicoBloqueio& bico : bicos) {
                if (bico.Marcado == bico.Bloqueado)
                    continue;
                registro.Bicos << bico.CodBico;
                (bico.Marcado ? resultado.Bloqueados : resultado.Liberados) << bico.CodBico;
                mudancas << bico.CodBico + QStringLiteral(": ")
                        + (bico.Marcado ? Seta(QStringLiteral("liberado"), QStringLiteral("bloqueado"))
                                        : Seta(QStringLiteral("bloqueado"), QStringLiteral("liberado")));
            }
            registro.Acao = resultado.Liberados.isEmpty() ? QStringLiteral("bloqueia")
                : resultado.Bloqueados.isEmpty()          ? QStringLiteral("libera")
                                                          : QStringLiteral("bloqueia e libera");
            registro.Mudanca = mudancas.isEmpty() ? QStringLiteral("sem alteração") : mudancas.join(QStringLiteral("; "));
            resultado.Falhas = TServicoBloqueio(linkor.Contexto()).EnviaComandos(bicos, &resultado.BicosFalhos);
            for (const QString& bico : resultado.BicosFalhos) {
                resultado.Bloqueados.removeAll(bico);
                resultado.Liberados.removeAll(bico);
            }
            const QString falhas = QStringLiteral("sem efeito em ") + resultado.BicosFalhos.join(QStringLiteral(", "))
                + QStringLiteral(": ") + UmaLinha(resultado.Falhas.join(QStringLiteral("; ")));
            if (resultado.BicosFalhos.isEmpty())
                registro.Resultado = kResultadoOk;
            else if (resultado.Bloqueados.isEmpty() && resultado.Liberados.isEmpty())
                registro.Resultado = ResultadoFalhou(falhas);
            else
                registro.Resultado = ResultadoParcial(falhas);
            return resultado;
        },
        std::move(concluido));
}

void TOperacoesLocais::PausaLeitura(QObject* dono, TConclusao<TVazio> concluido)
{
    Roda<TVazio>(
        FMotor, dono, {},
        [](TLinkor& linkor, const TRetorno&, TOperacaoRegistrada&) {
            linkor.Ciclo().ParaLeitura();
            return TVazio{};
        },
        std::move(concluido));
}

void TOperacoesLocais::RetomaLeitura(QObject* dono)
{
    FMotor.Executa(dono, [](TLinkor& linkor, const TRetorno&) { linkor.Ciclo().HabilitaLeitura(); });
}

void TOperacoesLocais::Captura(QObject* dono, const QString& usuario, qint32 id, const QString& texto,
                               TConclusao<TResultadoCaptura> concluido)
{
    Roda<TResultadoCaptura>(
        FMotor, dono, usuario,
        [id, texto](TLinkor& linkor, const TRetorno&, TOperacaoRegistrada& registro) {
            registro.Acao = QStringLiteral("captura");
            registro.Mudanca = QStringLiteral("ID ") + QString::number(id);
            const TResultadoCaptura resultado = TServicoCaptura(linkor).Captura(id, texto);
            registro.Resultado = resultado.Gravado ? kResultadoOk : ResultadoFalhou(UmaLinha(resultado.Texto));
            return resultado;
        },
        std::move(concluido));
}

void TOperacoesLocais::AcertaRelogio(QObject* dono, const QString& usuario, TConclusao<TResultadoRelogio> concluido)
{
    Roda<TResultadoRelogio>(
        FMotor, dono, usuario,
        [](TLinkor& linkor, const TRetorno&, TOperacaoRegistrada& registro) {
            TContexto& contexto = linkor.Contexto();
            const QDateTime agora = contexto.Relogio().Agora();
            TResultadoRelogio resultado;
            resultado.DataHora = contexto.Regional().TextoData(agora.date()) + QLatin1Char(' ')
                + contexto.Regional().TextoHoraLonga(agora.time());
            registro.Acao = QStringLiteral("relógio");
            // The concentrator's own clock is not read: only what it was set to is known.
            registro.Mudanca = Seta(QStringLiteral("?"), resultado.DataHora);
            TServicoRelogio(contexto).Acerta();
            registro.Resultado = kResultadoOk;
            return resultado;
        },
        std::move(concluido));
}

void TOperacoesLocais::AlteraIntervalo(QObject* dono, const QString& usuario, const QString& segundos,
                                       TConclusao<TResultadoIntervalo> concluido)
{
    Roda<TResultadoIntervalo>(
        FMotor, dono, usuario,
        [segundos](TLinkor& linkor, const TRetorno&, TOperacaoRegistrada& registro) {
            TResultadoIntervalo resultado;
            resultado.Anterior = linkor.Ciclo().LeConcentrador().interval() / 1000;
            registro.Acao = QStringLiteral("intervalo");
            registro.Mudanca = Seta(QString::number(resultado.Anterior) + QStringLiteral(" s"),
                                    segundos.trimmed() + QStringLiteral(" s"));
            resultado.Falha = TServicoTempoLeitura(linkor).AlteraTempo(segundos);
            resultado.Atual = linkor.Ciclo().LeConcentrador().interval() / 1000;
            registro.Resultado = resultado.Falha.isEmpty() ? kResultadoOk : ResultadoFalhou(UmaLinha(resultado.Falha));
            return resultado;
        },
        std::move(concluido));
}

namespace {
TDiario& DiarioAberto(TLinkor& linkor)
{
    TDiario* diario = linkor.Contexto().Diario();
    if (!diario)
        throw EErro(QStringLiteral("O diário do Linkor não está aberto."));
    return *diario;
}
} // namespace

void TOperacoesLocais::ListaDiario(QObject* dono, TFiltroDiario filtro, const QDate& dia,
                                   TConclusao<QList<TEntradaDiario>> concluido)
{
    Roda<QList<TEntradaDiario>>(
        FMotor, dono, {},
        [filtro, dia](TLinkor& linkor, const TRetorno&, TOperacaoRegistrada&) {
            return DiarioAberto(linkor).Lista(filtro, dia);
        },
        std::move(concluido));
}

void TOperacoesLocais::ReenviaDiario(QObject* dono, const QString& usuario, qint64 numero, bool novaSequencia,
                                     TConclusao<TResultadoReenvio> concluido)
{
    Roda<TResultadoReenvio>(
        FMotor, dono, usuario,
        [usuario, numero, novaSequencia](TLinkor& linkor, const TRetorno&, TOperacaoRegistrada& registro) {
            registro.Acao = QStringLiteral("reenvia diário");
            registro.Mudanca = (numero > 0 ? QStringLiteral("entrada %1").arg(numero) : QStringLiteral("todas as retidas"))
                + Seta(QStringLiteral(": retida"), QStringLiteral("aguardando"))
                + (novaSequencia ? QStringLiteral(" (nova sequência)") : QString());
            TDiario& diario = DiarioAberto(linkor);
            TResultadoReenvio resultado;
            resultado.Quantas = diario.Reenvia(numero > 0 ? std::optional<qint64>(numero) : std::nullopt, novaSequencia,
                                               usuario, linkor.Contexto().Relogio().Agora());
            if (resultado.Quantas == 0 && numero > 0) {
                const std::optional<TEntradaDiario> e = diario.Entrada(numero);
                if (!e)
                    throw EErro(QStringLiteral("A entrada %1 não existe no diário %2.").arg(numero).arg(diario.Caminho()));
                throw EErro(QStringLiteral("A entrada %1 está %2: só uma entrada retida ou sumida pode ser reenviada.")
                                .arg(numero)
                                .arg(NomeEstado(e->Estado)));
            }
            registro.Resultado = kResultadoOk + QStringLiteral(": %1 entrada(s)").arg(resultado.Quantas);
            return resultado;
        },
        std::move(concluido));
}
