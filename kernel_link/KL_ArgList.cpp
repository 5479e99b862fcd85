// Argument lists, the option scanner and the kernel-option split.

#include "kernel_link/KL_ArgList.h"

#include <cstring>

namespace {

char* copy_word(const char* w) {
    std::size_t n = std::strlen(w);
    char* c = new char[n + 1];
    std::memcpy(c, w, n + 1);
    return c;
}

bool is_kernel_flag(char c) { return c != '\0' && std::strchr("Iafqst", c) != nullptr; }
bool is_kernel_valued(char c) { return c != '\0' && std::strchr("LTbegpw", c) != nullptr; }

}  // namespace

KL_ArgList::KL_ArgList(int argc, const char* const* argv) {
    words_ = new char*[argc > 0 ? argc + 1 : 1];
    for (int i = 0; i < argc && argv != nullptr && argv[i] != nullptr; ++i) words_[count_++] = copy_word(argv[i]);
    words_[count_] = nullptr;
}

KL_ArgList::KL_ArgList(const KL_ArgList& other) {
    if (other.words_ == nullptr) return;
    words_ = new char*[other.count_ + 1];
    for (int i = 0; i < other.count_; ++i) words_[i] = copy_word(other.words_[i]);
    count_ = other.count_;
    words_[count_] = nullptr;
}

KL_ArgList& KL_ArgList::operator=(const KL_ArgList& other) {
    if (this != &other) {
        KL_ArgList copy(other);
        clear();
        count_ = copy.count_;
        words_ = copy.words_;
        copy.count_ = 0;
        copy.words_ = nullptr;
    }
    return *this;
}

KL_ArgList::~KL_ArgList() { clear(); }

void KL_ArgList::clear() {
    if (words_ != nullptr) {
        for (int i = 0; i < count_; ++i) delete[] words_[i];
        delete[] words_;
    }
    words_ = nullptr;
    count_ = 0;
}

void KL_ArgList::append(const char* word) {
    if (word == nullptr) {
        if (words_ == nullptr) {
            words_ = new char*[1];
            count_ = 0;
        }
        words_[count_] = nullptr;
        return;
    }
    char** grown = new char*[count_ + 2];
    for (int i = 0; i < count_; ++i) grown[i] = words_[i];
    grown[count_] = copy_word(word);
    grown[count_ + 1] = nullptr;
    delete[] words_;
    words_ = grown;
    ++count_;
}

bool KL_ArgScanner::isOptionWord(const char* word) const {
    return word != nullptr && (word[0] == '-' || word[0] == '/');
}

const char* KL_ArgScanner::nextWord() {
    if (next_ >= list_.count()) return nullptr;
    return list_.word(next_++);
}

bool KL_ArgScanner::nextOption(KL_ArgOption& option) {
    option = KL_ArgOption{};
    const char* w = nextWord();
    if (w == nullptr) return false;
    if (isOptionWord(w)) {
        option.name = w + 1;
        const char* following = list_.word(next_);
        if (following != nullptr && !isOptionWord(following)) {
            option.value = following;
            ++next_;
        }
    } else {
        option.value = w;
    }
    return true;
}

void KL_ArgList::split(const KL_ArgList& list, KL_ArgList& others, KL_ArgList& kernelOptions) {
    others = KL_ArgList();
    kernelOptions = KL_ArgList();
    if (list.count() > 0) {
        others.append(list.word(0));
        kernelOptions.append(list.word(0));
    }
    for (int i = 1; i < list.count(); ++i) {
        const char* w = list.word(i);
        char letter = w[0] == '-' ? w[1] : '\0';
        if (is_kernel_flag(letter)) {
            kernelOptions.append(w);
        } else if (is_kernel_valued(letter)) {
            kernelOptions.append(w);
            if (w[2] == '\0' && i + 1 < list.count()) kernelOptions.append(list.word(++i));
        } else {
            others.append(w);
        }
    }
    others.append(nullptr);
    kernelOptions.append(nullptr);
}

int KL_ArgList::otherArgs(const KL_ArgList& list, KL_ArgList& out) {
    KL_ArgList kernel;
    split(list, out, kernel);
    return out.count();
}

int KL_ArgList::kernelArgs(const KL_ArgList& list, KL_ArgList& out) {
    KL_ArgList others;
    split(list, others, out);
    return out.count();
}
