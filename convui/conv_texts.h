#pragma once
// The conversion window's and its dialogs' own texts, as Shift-JIS bytes (shown through the
// CP932 bridge). The Japanese is in the comment; the literal is its CP932 encoding.

namespace kompa::convtxt {

// CSVの詳細設定
inline constexpr char kOptCaption[] = "CSV\x82\xCC\x8F\xDA\x8D\xD7\x90\xDD\x92\xE8";
// 読み込み時の設定
inline constexpr char kReadSettings[] =
    "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x8E\x9E\x82\xCC\x90\xDD\x92\xE8";
// 書き込み時の設定
inline constexpr char kWriteSettings[] =
    "\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x8E\x9E\x82\xCC\x90\xDD\x92\xE8";
// 区切り文字
inline constexpr char kDelimiter[] = "\x8B\xE6\x90\xD8\x82\xE8\x95\xB6\x8E\x9A";
// コンマ
inline constexpr char kComma[] = "\x83R\x83\x93\x83}";
// タブ
inline constexpr char kTab[] = "\x83^\x83u";
// 半角スペース
inline constexpr char kBlank[] = "\x94\xBC\x8Ap\x83X\x83y\x81[\x83X";
// その他制御コード
inline constexpr char kOtherControls[] = "\x82\xBB\x82\xCC\x91\xBC\x90\xA7\x8C\xE4\x83R\x81[\x83h";
// 指定文字
inline constexpr char kUserChar[] = "\x8Ew\x92\xE8\x95\xB6\x8E\x9A";
// 囲む対象
inline constexpr char kQuoteTargets[] = "\x88\xCD\x82\xDE\x91\xCE\x8F\xDB";
// 囲み文字(")
inline constexpr char kQuoteChar[] = "\x88\xCD\x82\xDD\x95\xB6\x8E\x9A(\")";
// 全て
inline constexpr char kAll[] = "\x91S\x82\xC4";
// 標準値に戻す
inline constexpr char kResetDefaults[] = "\x95W\x8F\x80\x92l\x82\xC9\x96\xDF\x82\xB7";
// OK
inline constexpr char kOk[] = "OK";
// キャンセル
inline constexpr char kCancel[] = "\x83L\x83\x83\x83\x93\x83Z\x83\x8B";
// ヘルプ
inline constexpr char kHelp[] = "\x83w\x83\x8B\x83v";
// フィールド指定
inline constexpr char kFldCaption[] = "\x83t\x83"
                                      "B\x81[\x83\x8B\x83h\x8Ew\x92\xE8";
// 変換する郵便番号のフィールドを左クリックで
inline constexpr char kFldHintLeft[] =
    "\x95\xCF\x8A\xB7\x82\xB7\x82\xE9\x97X\x95\xD6\x94\xD4\x8D\x86\x82\xCC\x83t\x83"
    "B\x81[\x83\x8B\x83h\x82\xF0\x8D\xB6\x83N\x83\x8A\x83"
    "b\x83N\x82\xC5";
// 住所のフィールドを右クリックで指定して下さい
inline constexpr char kFldHintRight[] =
    "\x8FZ\x8F\x8A\x82\xCC\x83t\x83"
    "B\x81[\x83\x8B\x83h\x82\xF0\x89"
    "E\x83N\x83\x8A\x83"
    "b\x83N\x82\xC5\x8Ew\x92\xE8\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82\xA2";
// 1行目は見出し
inline constexpr char kHeadingCheck[] = "1\x8D\x73\x96\xDA\x82\xCD\x8C\xA9\x8F\x6F\x82\xB5";
// ←→ で列を選び、P で郵便番号、A で住所、O で事業所名 (スペースでメニュー)
inline constexpr char kFldKeys[] =
    "\x81\xA9\x81\xA8 \x82\xC5\x97\xF1\x82\xF0\x91\x49\x82\xD1\x81\x41P \x82\xC5"
    "\x97\x58\x95\xD6\x94\xD4\x8D\x86\x81\x41"
    "A \x82\xC5\x8F\x5A\x8F\x8A\x81\x41O \x82\xC5\x8E\x96\x8B\xC6\x8F\x8A\x96\xBC "
    "(\x83\x58\x83\x79\x81\x5B\x83\x58\x82\xC5\x83\x81"
    "\x83\x6A\x83\x85\x81\x5B)";
// 郵便番号(&P)
inline constexpr char kMenuPostCode[] = "\x97\x58\x95\xD6\x94\xD4\x8D\x86(&P)";
// 住所(&A)
inline constexpr char kMenuAddress[] = "\x8F\x5A\x8F\x8A(&A)";
// 事業所名(&O): the optional column of a company's name
inline constexpr char kMenuOfficeName[] = "\x8E\x96\x8B\xC6\x8F\x8A\x96\xBC(&O)";
// 事業所名
inline constexpr char kOfficeName[] = "\x8E\x96\x8B\xC6\x8F\x8A\x96\xBC";
// 事業所の番号: records that got an office's own code
inline constexpr char kOfficeCodes[] = "\x8E\x96\x8B\xC6\x8F\x8A\x82\xCC\x94\xD4\x8D\x86";
// 見出し行
inline constexpr char kHeadingLines[] = "\x8C\xA9\x8F\x6F\x82\xB5\x8D\x73";
// 郵便番号
inline constexpr char kPostCode[] = "\x97X\x95\xD6\x94\xD4\x8D\x86";
// 住所
inline constexpr char kAddress[] = "\x8FZ\x8F\x8A";
// 変換終了
inline constexpr char kRsltCaption[] = "\x95\xCF\x8A\xB7\x8FI\x97\xB9";
// 総データ数
inline constexpr char kTotal[] = "\x91\x8D\x83"
                                 "f\x81[\x83^\x90\x94";
// 住所が空のデータ
inline constexpr char kBlankAddress[] = "\x8FZ\x8F\x8A\x82\xAA\x8B\xF3\x82\xCC\x83"
                                        "f\x81[\x83^";
// 変換データ数
inline constexpr char kConverted[] = "\x95\xCF\x8A\xB7\x83"
                                     "f\x81[\x83^\x90\x94";
// 未変換
inline constexpr char kSkipped[] = "\x96\xA2\x95\xCF\x8A\xB7";
// 結果を保存
inline constexpr char kSave[] = "\x8C\x8B\x89\xCA\x82\xF0\x95\xDB\x91\xB6";
// 変換を続ける
inline constexpr char kContinue[] = "\x95\xCF\x8A\xB7\x82\xF0\x91\xB1\x82\xAF\x82\xE9";
// 結果を破棄
inline constexpr char kDiscard[] = "\x8C\x8B\x89\xCA\x82\xF0\x94j\x8A\xFC";
// エラー
inline constexpr char kErrCaption[] = "\x83G\x83\x89\x81[";
// ファイルを正常に読み込めませんでした
inline constexpr char kErrLine1[] = "\x83t\x83@\x83"
                                    "C\x83\x8B\x82\xF0\x90\xB3\x8F\xED\x82\xC9\x93\xC7\x82\xDD\x8D"
                                    "\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD";
// 処理を中止して、CSVオプションを設定して下さい。
inline constexpr char kErrLine2[] = "\x8F\x88\x97\x9D\x82\xF0\x92\x86\x8E~\x82\xB5\x82\xC4\x81"
                                    "ACSV\x83I\x83v\x83V\x83\x87\x83\x93\x82\xF0\x90\xDD\x92\xE8"
                                    "\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82\xA2\x81"
                                    "B";
// 中止
inline constexpr char kAbort[] = "\x92\x86\x8E~";
// 強行
inline constexpr char kForce[] = "\x8B\xAD\x8Ds";
// 一括変換
inline constexpr char kConvCaption[] = "\x88\xEA\x8A\x87\x95\xCF\x8A\xB7";
// スキップ
inline constexpr char kSkip[] = "\x83X\x83L\x83"
                                "b\x83v";
// 削除
inline constexpr char kDelete[] = "\x8D\xED\x8F\x9C";
// コピー
inline constexpr char kCopy[] = "\x83R\x83s\x81[";
// 貼り付け
inline constexpr char kPaste[] = "\x93\x5C\x82\xE8\x95t\x82\xAF";
// OK!
inline constexpr char kOkFlash[] = "OK!";
// 検索キー
inline constexpr char kSearchKey[] = "\x8C\x9F\x8D\xF5\x83L\x81[";
// 再検索
inline constexpr char kResearch[] = "\x8D\xC4\x8C\x9F\x8D\xF5";
// 単語検索
inline constexpr char kWordSearch[] = "\x92P\x8C\xEA\x8C\x9F\x8D\xF5";
// 候補のリスト
inline constexpr char kCandidateList[] = "\x8C\xF3\x95\xE2\x82\xCC\x83\x8A\x83X\x83g";
// ファイル名
inline constexpr char kFileName[] = "\x83t\x83@\x83"
                                    "C\x83\x8B\x96\xBC";
// 変換中データ
inline constexpr char kRecordsInWork[] = "\x95\xCF\x8A\xB7\x92\x86\x83"
                                         "f\x81[\x83^";
// 候補数
inline constexpr char kCandidates[] = "\x8C\xF3\x95\xE2\x90\x94";
// ファイル(&F)
inline constexpr char kMenuFile[] = "\x83t\x83@\x83"
                                    "C\x83\x8B(&F)";
// ファイルを開く
inline constexpr char kMenuOpen[] = "\x83t\x83@\x83"
                                    "C\x83\x8B\x82\xF0\x8AJ\x82\xAD";
// 閉じる
inline constexpr char kMenuClose[] = "\x95\xC2\x82\xB6\x82\xE9";
// オプション(&O)
inline constexpr char kMenuOptions[] = "\x83I\x83v\x83V\x83\x87\x83\x93(&O)";
// CSV設定(&O)
inline constexpr char kMenuCsv[] = "CSV\x90\xDD\x92\xE8(&O)";
// 置き換え動作の確認(&C)
inline constexpr char kMenuConfirm[] =
    "\x92u\x82\xAB\x8A\xB7\x82\xA6\x93\xAE\x8D\xEC\x82\xCC\x8Am\x94"
    "F(&C)";
// 県名も表示(&K)
inline constexpr char kMenuWithKen[] = "\x8C\xA7\x96\xBC\x82\xE0\x95\x5C\x8E\xA6(&K)";
// ヘルプ(&H)
inline constexpr char kMenuHelp[] = "\x83w\x83\x8B\x83v(&H)";
// コンマ区切りテキスト (*.CSV *.csv)
inline constexpr char kFilterCsv[] = "\x83R\x83\x93\x83}\x8B\xE6\x90\xD8\x82\xE8\x83"
                                     "e\x83L\x83X\x83g (*.CSV *.csv)";
// 全てのファイル (*)
inline constexpr char kFilterAll[] = "\x91S\x82\xC4\x82\xCC\x83t\x83@\x83"
                                     "C\x83\x8B (*)";
// 文字コード(&E)
inline constexpr char kMenuEncoding[] = "\x95\xB6\x8E\x9A\x83R\x81[\x83h(&E)";
// 自動判別
inline constexpr char kEncodingAuto[] = "\x8E\xA9\x93\xAE\x94\xBB\x95\xCA";
// Shift-JIS
inline constexpr char kEncodingSjis[] = "Shift-JIS";
// UTF-8
inline constexpr char kEncodingUtf8[] = "UTF-8";
// 警告
inline constexpr char kWarning[] = "\x8Cx\x8D\x90";

// 住所を詳しく照合する(&P)
inline constexpr char kMenuPrecise[] =
    "\x8FZ\x8F\x8A\x82\xF0\x8F\xDA\x82\xB5\x82\xAD\x8F\xC6\x8D\x87\x82\xB7\x82\xE9(&P)";
// 新規
inline constexpr char kNewCodes[] = "\x90V\x8BK";
// 変更
inline constexpr char kReplacedCodes[] = "\x95\xCF\x8DX";
// うち辞書にない番号
inline constexpr char kStaleCodes[] =
    "\x82\xA4\x82\xBF\x8E\xAB\x8F\x91\x82\xC9\x82\xC8\x82\xA2\x94\xD4\x8D\x86";
// 維持
inline constexpr char kKeptCodes[] = "\x88\xDB\x8E\x9D";

} // namespace kompa::convtxt
