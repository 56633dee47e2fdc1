#include "ClassCompanyTec.h"

#include "CaminhoPorta.h"
#include "Erro.h"
#include "Regional.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <elf.h>

#include <cstring>
#endif

namespace {
// One library per process, never unloaded: the driver object may come and go, the handle stays.
void* gBiblioteca = nullptr;
QString gArquivoBiblioteca;

#if defined(_WIN32)
const char* const NomeBiblioteca = "Companytec.dll";
void* AbreArquivo(const QString& arquivo)
{
    return reinterpret_cast<void*>(LoadLibraryW(reinterpret_cast<const wchar_t*>(arquivo.utf16())));
}
void* ProcuraEntrada(void* biblioteca, const char* nome)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(biblioteca), nome));
}
#else
const char* const NomeBiblioteca = "libCompanytec.so";
void* AbreArquivo(const QString& arquivo)
{
    return dlopen(QFile::encodeName(arquivo).constData(), RTLD_NOW | RTLD_LOCAL);
}
void* ProcuraEntrada(void* biblioteca, const char* nome)
{
    return dlsym(biblioteca, nome);
}

// Whether the part [inicio, inicio + tamanho) lies inside a file of `total` bytes.
bool Cabe(std::uint64_t inicio, std::uint64_t tamanho, std::uint64_t total)
{
    return inicio <= total && tamanho <= total - inicio;
}

template <typename TCabecalho, typename TPrograma, typename TSecao>
QString DefeitoElf(QFile& arquivo, std::uint64_t total)
{
    TCabecalho cabecalho;
    if (total < sizeof cabecalho || !arquivo.seek(0)
        || arquivo.read(reinterpret_cast<char*>(&cabecalho), sizeof cabecalho) != qint64(sizeof cabecalho))
        return QStringLiteral("o cabeçalho está incompleto");
    if (cabecalho.e_phentsize != sizeof(TPrograma)
        || !Cabe(cabecalho.e_phoff, std::uint64_t(cabecalho.e_phnum) * sizeof(TPrograma), total))
        return QStringLiteral("a tabela de segmentos está fora do arquivo");
    for (unsigned i = 0; i < cabecalho.e_phnum; ++i) {
        TPrograma segmento;
        if (!arquivo.seek(qint64(cabecalho.e_phoff + std::uint64_t(i) * sizeof segmento))
            || arquivo.read(reinterpret_cast<char*>(&segmento), sizeof segmento) != qint64(sizeof segmento))
            return QStringLiteral("a tabela de segmentos não pôde ser lida");
        // A segment mapped past the end of the file faults (SIGBUS) when the loader touches it.
        if (segmento.p_type == PT_LOAD && !Cabe(segmento.p_offset, segmento.p_filesz, total))
            return QStringLiteral("um segmento carregado termina além do fim do arquivo");
    }
    if (cabecalho.e_shoff != 0
        && (cabecalho.e_shentsize != sizeof(TSecao)
            || !Cabe(cabecalho.e_shoff, std::uint64_t(cabecalho.e_shnum) * sizeof(TSecao), total)))
        return QStringLiteral("a tabela de seções está fora do arquivo");
    return {};
}

// Why the file cannot be handed to the loader; empty when its header, its tables and every segment
// the loader maps are inside it. A truncated library would otherwise kill the process with SIGBUS
// inside dlopen, with no word to anyone.
QString DefeitoDoArquivo(const QString& caminho)
{
    QFile arquivo(caminho);
    if (!arquivo.open(QIODevice::ReadOnly))
        return QStringLiteral("não pôde ser lido (%1)").arg(arquivo.errorString());
    const std::uint64_t total = static_cast<std::uint64_t>(arquivo.size());
    unsigned char identificacao[EI_NIDENT] = {};
    if (arquivo.read(reinterpret_cast<char*>(identificacao), EI_NIDENT) != EI_NIDENT
        || std::memcmp(identificacao, ELFMAG, SELFMAG) != 0)
        return QStringLiteral("não é uma biblioteca (%1 bytes, sem o cabeçalho ELF)").arg(total);
    const bool nativa = identificacao[EI_DATA] == (QSysInfo::ByteOrder == QSysInfo::LittleEndian ? ELFDATA2LSB : ELFDATA2MSB);
    if (!nativa)
        return QStringLiteral("não é uma biblioteca para este computador");
    QString defeito;
    if (identificacao[EI_CLASS] == ELFCLASS64)
        defeito = DefeitoElf<Elf64_Ehdr, Elf64_Phdr, Elf64_Shdr>(arquivo, total);
    else if (identificacao[EI_CLASS] == ELFCLASS32)
        defeito = DefeitoElf<Elf32_Ehdr, Elf32_Phdr, Elf32_Shdr>(arquivo, total);
    else
        defeito = QStringLiteral("o cabeçalho ELF não é válido");
    return defeito.isEmpty() ? defeito
                             : QStringLiteral("está incompleto ou danificado (%1 bytes): %2").arg(total).arg(defeito);
}
#endif

// Why the last file tried could not be loaded, when we know it.
QString gDefeitoBiblioteca;

// The file itself, checked first where the loader would fault on a damaged one.
void* AbreConferido(const QString& arquivo)
{
#if !defined(_WIN32)
    if (QFileInfo::exists(arquivo)) {
        const QString defeito = DefeitoDoArquivo(arquivo);
        if (!defeito.isEmpty()) {
            gDefeitoBiblioteca = QStringLiteral("O arquivo %1 %2.").arg(QDir::toNativeSeparators(arquivo), defeito);
            return nullptr;
        }
    }
#endif
    return AbreArquivo(arquivo);
}

// Where the library is looked for, in order: beside the executable (a build tree or a copied
// folder), then the installed layout's private folder (/usr/bin/linkor loads
// /usr/lib/linkor/libCompanytec.so; relative, so an unpacked package runs too).
QStringList PastasBiblioteca()
{
    const QString programa = QCoreApplication::applicationDirPath();
    return {programa, QDir::cleanPath(programa + QStringLiteral("/../lib/linkor"))};
}

void* CarregaBiblioteca()
{
    if (gBiblioteca)
        return gBiblioteca;
    gDefeitoBiblioteca.clear();
    if (!gArquivoBiblioteca.isEmpty()) {
        gBiblioteca = AbreConferido(gArquivoBiblioteca);
    } else {
        for (const QString& pasta : PastasBiblioteca()) {
            const QString arquivo = pasta + '/' + QLatin1String(NomeBiblioteca);
            if (!gBiblioteca && QFileInfo::exists(arquivo))
                gBiblioteca = AbreConferido(arquivo);
        }
        if (!gBiblioteca)
            gBiblioteca = AbreArquivo(QLatin1String(NomeBiblioteca));
    }
    return gBiblioteca;
}

template <typename F>
void Procura(void* biblioteca, F& entrada, const char* nome)
{
    entrada = reinterpret_cast<F>(ProcuraEntrada(biblioteca, nome));
}

// Nothing may ever be called through an empty entry.
template <typename F>
F Exige(F entrada, const char* nome)
{
    if (!entrada)
        throw EErro(QStringLiteral("A biblioteca do concentrador não tem a função %1.").arg(QLatin1String(nome)));
    return entrada;
}
#define ENTRADA(nome) Exige(Fn##nome, #nome)

QByteArray Texto8Bits(const QString& texto)
{
    return texto.toLatin1();
}
} // namespace

void TCompanyTec::DefineArquivoBiblioteca(const QString& caminho)
{
    gArquivoBiblioteca = caminho;
}

QString TCompanyTec::ArquivoBiblioteca()
{
    return gArquivoBiblioteca;
}

QByteArray TCompanyTec::ConverteCodigoHexa(const QString& codigo)
{
    // "$44" would read as hexadecimal; the code is decimal only.
    if (codigo.trimmed().startsWith('$'))
        throw EErroConversao(QStringLiteral("'%1' não é um valor inteiro válido").arg(codigo));
    const qint64 valor = LeInteiro(codigo);
    QByteArray hexa = QByteArray::number(valor, 16).toUpper();
    if (valor >= 0 && hexa.size() < 2)
        hexa.prepend('0');
    return hexa;
}

QString TCompanyTec::ConverteStatus(const std::uint8_t* status, int quantidade)
{
    // A byte it does not know keeps its place with a letter that means nothing: dropping it would
    // hand every later position its neighbour's letter.
    static const char Letras[] = "LPFCABE";
    QString resultado;
    for (int i = 0; i < quantidade; ++i)
        resultado += QLatin1Char(status[i] <= 6 ? Letras[status[i]] : '?');
    return resultado;
}

void TCompanyTec::PCarregaDllConcentrador()
{
    void* biblioteca = CarregaBiblioteca();
    if (!biblioteca)
        throw EErro(QStringLiteral("Não foi possível carregar a biblioteca COMPANYTEC.DLL !\r"
                                   "O concentrador pode não funcionar corretamente.")
                    + (gDefeitoBiblioteca.isEmpty() ? QString() : QStringLiteral("\r") + gDefeitoBiblioteca));
    Procura(biblioteca, FnFechaSerial, "FechaSerial");
    Procura(biblioteca, FnSetClock, "SetClock");
    Procura(biblioteca, FnLeStatus, "LeStatus");
    Procura(biblioteca, FnLeAbastecimento, "LeAbastecimento");
    Procura(biblioteca, FnLeAbastecimentoFid, "LeAbastecimentoFid");
    Procura(biblioteca, FnConsultaEncerrante, "ConsultaEncerrante");
    Procura(biblioteca, FnAlteraPreco, "AlteraPreco");
    Procura(biblioteca, FnPreset, "Preset");
    Procura(biblioteca, FnLePPL, "LePPL");
    Procura(biblioteca, FnLeStringAb, "LeStringAb");
    Procura(biblioteca, FnWriteSerial, "WriteSerial");
    Procura(biblioteca, FnRefEncerrante, "RefEncerrante");
    Procura(biblioteca, FnRefAltPreco, "RefAltPreco");
    Procura(biblioteca, FnIncrementa, "Incrementa");
    Procura(biblioteca, FnCobLeSTEncerrante, "CobLeSTEncerrante");
    Procura(biblioteca, FnLeAbFix, "LeAbFix");
    Procura(biblioteca, FnLeStStatus, "LeStStatus");
    Procura(biblioteca, FnLeVisualizacao, "LeVisualizacao");
    Procura(biblioteca, FnInicializaSerial, "InicializaSerial");
    Procura(biblioteca, FnRefLePPL, "RefLePPL");
    Procura(biblioteca, FnBloqueiaBico, "BloqueiaBico");
    Procura(biblioteca, FnAutoLibera, "AutoLibera");
    Procura(biblioteca, FnLeRegistro, "LeRegistro");
    Procura(biblioteca, FnFechaSerialSemConfirmar, "FechaSerialSemConfirmar");
    FCarregada = true;
}

QString TCompanyTec::GetLeStatus()
{
    // Zeroed first, so a library that writes less never hands us stale stack bytes.
    std::uint8_t status[48] = {};
    // No answer is no status: 48 zero bytes would read as every position free.
    if (ENTRADA(LeStatus)(status) == 0)
        throw EErroSemResposta(QStringLiteral("O concentrador não respondeu à leitura do status dos bicos."));
    return ConverteStatus(status, 48);
}

QString TCompanyTec::FGetStStatusBico()
{
    char texto[101] = {};
    if (ENTRADA(LeStStatus)(texto) == 0)
        throw EErroSemResposta(QStringLiteral("O concentrador não respondeu à leitura do status dos bicos."));
    QString resultado;
    resultado.reserve(100);
    for (int i = 0; i < 100; ++i)
        resultado += QChar(static_cast<uchar>(texto[i]));
    return resultado;
}

// A command the concentrator refused or never answered must not pass for done: the operator is
// told, and nothing is recorded as if the pump had taken it.
void TCompanyTec::FBloqueiaBico(const QString& Bico)
{
    const auto entrada = ENTRADA(BloqueiaBico);
    if (entrada(ConverteCodigoHexa(Bico).constData()) == 0)
        throw EErroSemResposta(QStringLiteral("O concentrador não confirmou o bloqueio do bico %1.").arg(Bico));
}

void TCompanyTec::FLiberaBico(const QString& Bico)
{
    const auto entrada = ENTRADA(AutoLibera);
    if (entrada(ConverteCodigoHexa(Bico).constData()) == 0)
        throw EErroSemResposta(QStringLiteral("O concentrador não confirmou a liberação do bico %1.").arg(Bico));
}

TVisualizacao TCompanyTec::GetLeVisualizacao()
{
    static_assert(sizeof(TVisualizacao) == TamanhoVisualizacao);
    TVisualizacao registro = RegistroVazio<TVisualizacao>();
    ENTRADA(LeVisualizacao)(&registro);
    return registro;
}

TAbastecimento TCompanyTec::GetLeAbastecimento()
{
    TAbastecimento registro = RegistroVazio<TAbastecimento>();
    if (ENTRADA(LeAbastecimento)(&registro) < 0)
        throw EErroSemResposta(QStringLiteral("O concentrador não respondeu à leitura de abastecimentos."));
    return registro;
}

TAbastecimentoFid TCompanyTec::GetLeAbastecimentoFID()
{
    TAbastecimentoFid registro = RegistroVazio<TAbastecimentoFid>();
    if (ENTRADA(LeAbastecimentoFid)(&registro) < 0)
        throw EErroSemResposta(QStringLiteral("O concentrador não respondeu à leitura de abastecimentos."));
    return registro;
}

TEncerrante TCompanyTec::ConsultaEncerrante(const QString& Bico)
{
    // The kind goes as its character code, as LerEncerrante sends it: an address would not fit the
    // 32-bit slot on a 64-bit build.
    TEncerrante registro = RegistroVazio<TEncerrante>();
    ENTRADA(ConsultaEncerrante)(&registro, 'L', Texto8Bits(Bico).constData());
    return registro;
}

TAbastecimento TCompanyTec::FLeRegistro(std::int32_t Id)
{
    TAbastecimento registro = RegistroVazio<TAbastecimento>();
    // "No such fueling" is an answer; no answer is an error, never "not found".
    if (ENTRADA(LeRegistro)(&registro, Id) < 0)
        throw EErroSemResposta(QStringLiteral("O concentrador não respondeu à leitura do abastecimento %1.").arg(Id));
    return registro;
}

void TCompanyTec::LerEncerrante(char Tipo, const QString& Bico)
{
    TEncerrante registro = RegistroVazio<TEncerrante>();
    const std::int32_t lido =
        ENTRADA(ConsultaEncerrante)(&registro, static_cast<unsigned char>(Tipo), Texto8Bits(Bico).constData());
    LeituraEncerrante = registro;
    if (lido == 0)
        throw EErroSemResposta(QStringLiteral("O concentrador não respondeu à leitura do encerrante do bico %1.").arg(Bico));
}

void TCompanyTec::AlteraPrecoBico(const QString& Bico, std::uint8_t Modo, double Preco)
{
    std::uint8_t descartado = 0;
    if (ENTRADA(RefAltPreco)(Texto8Bits(Bico).constData(), Preco, Modo, &descartado) == 0)
        throw EErroSemResposta(QStringLiteral("O concentrador não confirmou o preço do bico %1.").arg(Bico));
}

bool TCompanyTec::InicializaSerial(std::uint8_t Porta)
{
    const auto entrada = ENTRADA(InicializaSerial);
#if !defined(_WIN32) // Windows itself gives a COM port to one process at a time
    const QString dispositivo = QString::fromStdString(CaminhoDaPortaSerial(Porta));
    if (!dispositivo.isEmpty())
        TravaPorta(FTravaPorta, dispositivo, QStringLiteral("COM%1").arg(Porta));
#endif
    const std::int32_t resultado = entrada(Porta);
    const bool aberta = (static_cast<std::uint32_t>(resultado) & 0xFFu) != 0;
    if (!aberta)
        FTravaPorta.Libera();
    return aberta;
}

double TCompanyTec::PrecoUnitario(const QString& Bico)
{
    const char* texto = nullptr;
    ENTRADA(RefLePPL)(Texto8Bits(Bico).constData(), &texto);
    // The text stays the library's: copy it before anything else runs.
    const QString copia = texto ? QString::fromLatin1(texto) : QString();
    // The user's separator, and the library's own "." as well.
    double preco = 0;
    if (LeNumeroC(copia, preco))
        return preco;
    return FRegional.LeNumero(copia);
}

void TCompanyTec::FinalizaSerial(TUltimoEntregue Ultimo)
{
    // The close after a failed start-up finds no library: nothing to close then.
    if (!FCarregada)
        return;
    if (Ultimo == TUltimoEntregue::Confirma)
        ENTRADA(FechaSerial)();
    else if (FnFechaSerialSemConfirmar)
        FnFechaSerialSemConfirmar();
    else
        return; // the port stays open, and ours, until the process ends
    FTravaPorta.Libera();
}

void TCompanyTec::AcertaDataHora()
{
    // Without this the operator would be told the clock was set when the concentrator never heard it.
    if (ENTRADA(SetClock)("AUTO") == 0)
        throw EErro(QStringLiteral("O concentrador não confirmou o acerto da Data/Hora: o relógio dele não foi alterado."));
}
