#include "formula/formula_service.h"

#include <QFile>
#include <QSaveFile>

#include <cstdlib>
#include <sstream>
#include <string>

namespace formula {

FormulaService& FormulaService::instance() {
    static FormulaService service;
    return service;
}

std::shared_ptr<BasicFormulaFactory> FormulaService::find(const QString& name) const {
    for (const auto& f : formulas_) {
        if (f->name == name) {
            return f;
        }
    }
    return nullptr;
}

std::vector<std::shared_ptr<BasicFormulaFactory>> FormulaService::list(int mask) const {
    std::vector<std::shared_ptr<BasicFormulaFactory>> out;
    for (const auto& f : formulas_) {
        if ((f->kind & mask) != 0) {
            out.push_back(f);
        }
    }
    return out;
}

std::shared_ptr<FormulaService::Group> FormulaService::findGroup(const QString& name) const {
    for (const auto& g : groups_) {
        if (g->name == name) {
            return g;
        }
    }
    return nullptr;
}

void FormulaService::add(std::shared_ptr<BasicFormulaFactory> formula) {
    if (formula) {
        formulas_.push_back(std::move(formula));
    }
}

void FormulaService::addGroup(std::shared_ptr<Group> group) {
    if (group) {
        groups_.push_back(std::move(group));
    }
}

bool FormulaService::saveParams(const QString& path) const {
    // The file is written beside its final place and renamed over it, so a crash never leaves
    // a truncated file; the leading "0" turns into "1" only after every line is out.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    QByteArray text = "0\n";
    for (const auto& f : formulas_) {
        text += f->code.toUtf8();
        text += '\t';
        for (const FormulaParam& p : f->params) {
            text += floatText(p.value).toUtf8();
            text += '\t';
        }
        text += '\n';
    }
    if (file.write(text) != text.size() || !file.seek(0) || file.write("1", 1) != 1) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool FormulaService::loadParams(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    std::istringstream in(file.readAll().toStdString());
    int complete = 0;
    if (!(in >> complete) || complete == 0) {
        return false;
    }
    std::string line;
    std::getline(in, line);  // the rest of the marker line
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        if (!(words >> key)) {
            continue;
        }
        QString code = QString::fromStdString(key);
        std::shared_ptr<BasicFormulaFactory> target;
        for (const auto& f : formulas_) {
            if (f->code == code) {
                target = f;
                break;
            }
        }
        if (!target) {
            continue;
        }
        for (FormulaParam& p : target->params) {
            std::string word;
            if (!(words >> word)) {
                break;
            }
            // strtof rather than the stream: it accepts denormals and stops at the first bad
            // character instead of failing the whole line.
            char* end = nullptr;
            float v = std::strtof(word.c_str(), &end);
            if (end == word.c_str()) {
                break;
            }
            p.value = v;
        }
    }
    return true;
}

}  // namespace formula
