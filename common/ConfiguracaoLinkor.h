#pragma once
// The technician's settings file, /etc/linkor/linkor.conf, read by the window, the service and our
// concentrator library alike: lines "CHAVE=valor", blanks and lines starting with # ignored.
// Plain C++: the library has no Qt.
#include <cstdlib>
#include <fstream>
#include <string>

// The file: LINKOR_CONFIGURACAO when set (a test's own), else /etc/linkor/linkor.conf.
inline std::string ArquivoConfiguracaoLinkor()
{
    if (const char* definido = std::getenv("LINKOR_CONFIGURACAO"); definido && *definido)
        return definido;
    return "/etc/linkor/linkor.conf";
}

// The value of `chave` (the last line that sets it), without surrounding blanks or quotes; empty
// when the file or the key is missing.
inline std::string LeConfiguracaoLinkor(const std::string& chave)
{
    std::ifstream arquivo(ArquivoConfiguracaoLinkor());
    std::string linha;
    std::string valor;
    const auto apara = [](std::string texto) {
        const auto inicio = texto.find_first_not_of(" \t\r");
        if (inicio == std::string::npos)
            return std::string();
        const auto fim = texto.find_last_not_of(" \t\r");
        texto = texto.substr(inicio, fim - inicio + 1);
        if (texto.size() >= 2 && (texto.front() == '"' || texto.front() == '\'') && texto.back() == texto.front())
            texto = texto.substr(1, texto.size() - 2);
        return texto;
    };
    while (std::getline(arquivo, linha)) {
        const std::string limpa = apara(linha);
        if (limpa.empty() || limpa.front() == '#')
            continue;
        const auto igual = limpa.find('=');
        if (igual != std::string::npos && apara(limpa.substr(0, igual)) == chave)
            valor = apara(limpa.substr(igual + 1));
    }
    return valor;
}
