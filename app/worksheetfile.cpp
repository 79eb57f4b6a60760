#include "worksheetfile.h"

CWorksheetFile::CWorksheetFile(const std::string& path, const std::string& sheetOrSeparator,
                               bool makeBackup)
    : m_makeBackup(makeBackup), m_path(path) {
    (void)sheetOrSeparator;
}
CWorksheetFile::~CWorksheetFile() = default;
std::string CWorksheetFile::RowLine(int) const {
    return {};
}
bool CWorksheetFile::AbandonBatch() {
    return false;
}
bool CWorksheetFile::SetHeaderRow(const std::vector<std::string>&, bool) {
    return false;
}
bool CWorksheetFile::PutRow(const std::vector<std::string>&, int, bool) {
    return false;
}
bool CWorksheetFile::GetRowFields(std::vector<std::string>&, int) {
    return false;
}
bool CWorksheetFile::PutCell(const std::string&, int, int) {
    return false;
}
bool CWorksheetFile::PutCell(const std::string&, const std::string&, bool, int) {
    return false;
}
bool CWorksheetFile::GetColumnValues(int, std::vector<std::string>&) {
    return false;
}
bool CWorksheetFile::GetColumnValues(const std::string&, bool, std::vector<std::string>&) {
    return false;
}
bool CWorksheetFile::GetCellValue(int, int, std::string&) {
    return false;
}
bool CWorksheetFile::GetCellValue(const std::string&, bool, int, std::string&) {
    return false;
}
bool CWorksheetFile::UpdateMatchingRows(const std::vector<std::string>&,
                                        const std::vector<std::string>&) {
    return false;
}
bool CWorksheetFile::DropSheet() {
    return false;
}
int CWorksheetFile::ResolveColumn(const std::string&, bool) {
    return 0;
}
bool CWorksheetFile::SaveInOtherFormat(const std::string&) {
    return false;
}
bool CWorksheetFile::WriteOut() {
    return false;
}
bool CWorksheetFile::WriteOutWithProgress(IWorksheetProgress*, bool& success, IWorksheetCancel*) {
    success = false;
    return false;
}
bool CWorksheetFile::Reload() {
    return false;
}
std::string CWorksheetFile::BuildRowLine(const std::vector<std::string>&) const {
    return {};
}
std::vector<std::string> CWorksheetFile::SplitRowLine(std::string_view) const {
    return {};
}
